#pragma once

// Counts the heap that the program holds, through operators new and delete of
// its own (linking this in replaces the standard ones), so that a benchmark can
// tell the most that one call holds at once.

// The bytes held now.
long long HeapInUse();

// Starts a new peak from what is held now; returns that amount.
long long StartHeapPeak();

// The most held at once since StartHeapPeak.
long long HeapPeak();
