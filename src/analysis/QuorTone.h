#pragma once

namespace vireon {

// The strongest tone of one block: its frequency between bins and its
// amplitude in dB relative to a full-scale sine, independent of the window.
struct TQuorTone {
    bool Present = false;
    double Frequency = 0.0; // Hz
    double LevelDb = 0.0;   // dBFS
};

} // namespace vireon
