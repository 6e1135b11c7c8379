#pragma once
// Progress of a conversion: "progress" lines into the destination at every tenth of the work,
// and a bar on standard error for long conversions, cleared when the conversion ends.

#include <string>

class Progress {
public:
    // `total` units of work; the bar is drawn when `bar` is true and the work is long.
    Progress(std::string text, unsigned long total, bool bar);
    // Ends the bar's line.
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // Records `units` more work done.
    void advance(unsigned long units);
    // Reports the whole work done.
    void finish();

private:
    std::string text_;
    unsigned long total_;
    unsigned long done_ = 0;
    bool bar_;
    bool drawn_ = false;
    double next_report_ = 0; // fraction at which the next progress line is written
    int percent_ = -1;       // percentage the bar shows

    void report(double fraction);
};
