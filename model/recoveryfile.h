#pragma once
// The recovery file: what a composer would lose if it ended now. UTF-8 JSON
// with a format name and a version, so every character comes back as typed
// (the issue file's code page would turn some into "?"). A file that is not
// exactly what the writer makes is refused whole: nothing of it is read.

#include "model/issue.h"

#include <QIODevice>
#include <QVector>

namespace brevix {

// The version this program writes, and the only one it reads.
inline constexpr int RecoveryFileVersion = 1;

struct UnsavedWork {
    QVector<Article> articles;
    // The entry area being worked in: body lines end in CR LF; the category
    // is the selected option's name, empty when none is selected.
    Article entry;
    int editIndex = -1; // the article a pending edit will replace; -1: none
    friend bool operator==(const UnsavedWork&, const UnsavedWork&) = default;
};

// Throws RuntimeError when the device fails. Costs about twice the text in memory.
void WriteRecoveryFile(const UnsavedWork& work, QIODevice& device);

// Throws RuntimeError (文件格式无效 for anything the writer would not make,
// 设备 I/O 错误 when the device fails).
UnsavedWork ReadRecoveryFile(QIODevice& device);

} // namespace brevix
