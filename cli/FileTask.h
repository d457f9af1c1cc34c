#pragma once

#include "darkfill/darkfill.h"

#include <QString>

// One picture to fill: where it comes from and where its result and fill map go.
struct FileTask {
    QString input;     // "-": standard input
    QString output;    // "-": standard output
    QString fillMap;   // empty: none
    QString refusal;   // why the task must not run (it would write over an input,
                       // say); empty when it may
    darkfill::FillOptions options;  // the rule's constants
};

// What became of one picture.
struct FileOutcome {
    bool ok = false;
    QString error;     // the message, naming the file, when not ok
    int width = 0;
    int height = 0;
    int bitsPerValue = 0;
    darkfill::FillCounts counts;
    double readMilliseconds = 0;     // reading and decoding
    double analyseMilliseconds = 0;  // the analysis alone
    double writeMilliseconds = 0;    // encoding and writing the result and the map
};

// Reads, fills and writes one picture; any failure is told in the outcome.
// force: an existing output may be written over (an input never is).
FileOutcome RunFileTask(const FileTask& task, bool force);
