#pragma once
// Types the generators and the editions share.

#include <QString>
#include <functional>

namespace brevix {

// The five texts the output command reads from the window, unchanged.
struct OutputTexts {
    QString number; // txtNoHZ: issue number within the year
    QString total;  // txtNoSum: running issue number
    QString year;   // cboYear
    QString month;  // cboMonth
    QString day;    // cboDay
};

// Lets the window handle its pending events while the generator runs.
using YieldFn = std::function<void()>;

} // namespace brevix
