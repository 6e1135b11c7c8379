#pragma once
// Progress of a conversion: a bar on standard error over reading and converting the model,
// drawn only when standard error is a terminal, and "progress" lines into the destination at
// every tenth of the conversion.

#include <string>

// The share of the bar that reading the model takes; converting it takes the rest.
constexpr double kReadShare = 0.5;

// The bar: one line, redrawn in place, erased when the conversion ends.
class Bar {
public:
    // Draws nothing unless `wanted` and standard error is a terminal.
    explicit Bar(bool wanted);
    ~Bar();
    Bar(const Bar&) = delete;
    Bar& operator=(const Bar&) = delete;

    // Shows `fraction` (0..1) of the whole work done, with `text`.
    void show(const std::string& text, double fraction);
    // Erases the bar's line, so that the next line of standard error starts clean.
    void erase();

private:
    bool enabled_;
    bool drawn_ = false;
    int percent_ = -1;
};

// The conversion part of the work, after the model has been read.
class Progress {
public:
    // `total` units of work, shown on `bar` after the share of reading.
    Progress(std::string text, unsigned long total, Bar& bar);
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void advance(unsigned long units);
    void finish();

private:
    std::string text_;
    unsigned long total_;
    unsigned long done_ = 0;
    Bar& bar_;
    double next_report_ = 0; // fraction at which the next progress line is written

    void report(double fraction);
};
