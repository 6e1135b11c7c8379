#include "progress.h"

#include "convert_texts.h"
#include "sceneapi_cs_wrapper.h"

#include <algorithm>
#include <cstdio>

Progress::Progress(std::string text, unsigned long total, bool bar)
    : text_(std::move(text)), total_(std::max(total, 1ul)),
      bar_(bar && total >= convert_texts::kProgressBarWork) {
    report(0);
}

Progress::~Progress() {
    if (drawn_) std::fputc('\n', stderr);
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
            next_report_ += convert_texts::kProgressStep;
    }
    const int percent = static_cast<int>(fraction * 100);
    if (!bar_ || percent == percent_) return;
    percent_ = percent;
    const int filled = percent * convert_texts::kBarWidth / 100;
    std::fprintf(stderr, "\r[%s%s] %3d%% %s", std::string(filled, '#').c_str(),
                 std::string(convert_texts::kBarWidth - filled, ' ').c_str(), percent,
                 text_.c_str());
    std::fflush(stderr);
    drawn_ = true;
}
