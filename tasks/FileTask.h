#pragma once

#include "darkfill/darkfill.h"
#include "tasks/CommandLine.h"
#include "files/Picture.h"

#include <optional>
#include <string>
#include <vector>

namespace darkfill::tasks {

// One picture to fill: where it comes from and where its result and fill map go.
// Names are bytes, as the system spells them.
struct FileTask {
    std::string input;    // "-": standard input
    std::string output;   // "-": standard output
    std::string fillMap;  // empty: none
    std::string refusal;  // why the task must not run (it would write over an
                          // input, say); empty when it may
    FillOptions options;  // the rule's constants
    int compression = -1; // PNG's and TIFF's level (-1: fast)
    long long maximumPixels = DefaultMaximumPixels;  // larger inputs are refused from their header
    std::string guide;    // the guide picture of the guided rule; empty: none
};

// What became of one picture.
struct FileOutcome {
    bool ok = false;
    bool usageError = false;          // not ok, as a wrong command line would be
    std::string error;                // the message, naming the file, when not ok
    int width = 0;
    int height = 0;
    files::SampleType type = files::SampleType::U8;
    FillCounts counts;
    double readMilliseconds = 0;     // reading and decoding
    double analyseMilliseconds = 0;  // the analysis alone
    double writeMilliseconds = 0;    // encoding and writing the result and the map
    bool alreadyDone = false;        // ok, and left as it was: its files exist

    int Bits() const { return files::BytesOf(type) * 8; }
};

// What becomes of a task whose output or fill map exists: it is refused; the
// files are written over (never an input); or, where all of its files exist, it
// is left as it is, reported as already done (a batch run again after it was
// stopped), and refused where only some do.
enum class ExistingOutputs { Refuse, Replace, Skip };

// A picture read and filled, ready to be written.
struct FilledPicture {
    files::Picture picture;
    std::vector<ValueSource> sources;  // the fill map, where one is asked for
};

// Reads, fills and writes one picture; any failure is told in the outcome.
FileOutcome RunFileTask(const FileTask& task, ExistingOutputs existing);

// The same in two halves, for a program that writes one picture while it reads
// the next: the picture read and filled (nothing where the task is done
// already or failed, as the outcome tells), then written.
std::optional<FilledPicture> ReadAndFill(const FileTask& task, ExistingOutputs existing, FileOutcome& outcome);
void WriteFilled(const FileTask& task, ExistingOutputs existing, FilledPicture& filled, FileOutcome& outcome);

}  // namespace darkfill::tasks
