#pragma once
// OutputIssueToWord of the earlier edition (Brevix): its own bulletin layout
// for six categories, finished by keystrokes sent to the word processor.

#include "generator/automation.h"
#include "generator/bulletin.h"
#include "generator/output_texts.h"
#include "model/issue.h"

#include <QVector>

namespace brevix {

// Typesets the issue snapshot as the earlier edition's bulletin. Only creates
// the word processor, never attaches. The first failing step ends the run and
// is thrown as RuntimeError; what was typeset so far stays in the document.
void OutputEarlierIssueToWord(word::Backend& backend, const QVector<Article>& articles,
                              const OutputTexts& texts, const ContactTexts& contacts,
                              const YieldFn& yield);

} // namespace brevix
