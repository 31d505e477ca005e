#pragma once
// What differs between the two programs built from this tree. The composer
// windows and their commands take an Edition and contain nothing per edition.

#include "generator/automation.h"
#include "generator/output_texts.h"
#include "model/issue.h"

#include <QString>
#include <QVector>
#include <functional>

namespace brevix {

struct CategoryOption {
    QString objectName; // e.g. "optHGDX"
    QString name;       // caption, and the category stored with the article
};

struct Edition {
    QString programName;                // "Brevix2003" or "Brevix"
    QVector<CategoryOption> categories; // in table order
    bool pageEstimate = false;          // Label13 and the title list's focus handlers

    // The edition's OutputIssueToWord. Throws RuntimeError for the output
    // command's error box.
    std::function<void(word::Backend&, const QVector<Article>&, const OutputTexts&, const YieldFn&)>
        outputIssueToWord;
};

const Edition& Brevix2003Edition(); // the current edition
const Edition& BrevixEdition();     // the earlier edition

} // namespace brevix
