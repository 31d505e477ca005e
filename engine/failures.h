#pragma once
// The errors the engine raises, in the word processor's wording.

#include "model/errors.h"

namespace brevix::engine {

inline RuntimeError ValueOutOfRange() { return {4608, QStringLiteral("值超出范围")}; }
inline RuntimeError ObjectDeleted() { return {5825, QStringLiteral("对象已被删除")}; }

} // namespace brevix::engine
