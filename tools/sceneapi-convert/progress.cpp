#include "progress.h"

#include "sceneapi_cs_wrapper.h"

#include <algorithm>
#include <cstdio>
#include <unistd.h>

Bar::Bar(bool wanted) : enabled_(wanted && isatty(STDERR_FILENO) == 1) {}

Bar::~Bar() {
    erase();
}

void Bar::show(const std::string& text, double fraction) {
    if (!enabled_) return;
    const int percent = static_cast<int>(std::clamp(fraction, 0.0, 1.0) * 100);
    if (percent == percent_) return;
    percent_ = percent;
    const int width = 40;
    const int filled = percent * width / 100;
    std::fprintf(stderr, "\r[%s%s] %3d%% %.60s\033[K", std::string(filled, '#').c_str(),
                 std::string(width - filled, ' ').c_str(), percent, text.c_str());
    std::fflush(stderr);
    drawn_ = true;
}

void Bar::erase() {
    if (!drawn_) return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    drawn_ = false;
    percent_ = -1;
}

Progress::Progress(std::string text, unsigned long total, Bar& bar)
    : text_(std::move(text)), total_(std::max(total, 1ul)), bar_(bar) {
    report(0);
}

void Progress::advance(unsigned long units) {
    done_ = std::min(total_, done_ + units);
    report(double(done_) / double(total_));
}

void Progress::finish() {
    done_ = total_;
    report(1);
}

void Progress::report(double fraction) {
    if (fraction >= next_report_) {
        setProgress(text_.c_str(), static_cast<float>(fraction));
        while (next_report_ <= fraction)
            next_report_ += 0.1;
    }
    bar_.show(text_, kReadShare + (1 - kReadShare) * fraction);
}
