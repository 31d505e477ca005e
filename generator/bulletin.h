#pragma once
// OutputIssueToWord of Brevix2003, and the pieces of it the earlier
// edition's bulletin shares.

#include "generator/output_texts.h"
#include "generator/automation.h"
#include "model/issue.h"

#include <QVector>

namespace brevix {

// The publishing office's contact texts printed in the closing block.
struct ContactTexts {
    QString phone;
    QString fax;
    QString email;
};

// Typesets the issue snapshot as the current edition's bulletin. Failing
// steps are skipped; throws RuntimeError once when no word processor can be
// obtained or it stops answering part-way.
void OutputIssueToWord(word::Backend& backend, const QVector<Article>& articles,
                       const OutputTexts& texts, const ContactTexts& contacts, const YieldFn& yield);

} // namespace brevix
