#include "errors.h"

namespace brevix {

RuntimeError::RuntimeError(int number, QString description)
    : number_(number), description_(std::move(description)), utf8_(description_.toStdString()) {}

RuntimeError RuntimeError::Overflow() { return {6, QStringLiteral("溢出")}; }
RuntimeError RuntimeError::SubscriptOutOfRange() { return {9, QStringLiteral("下标越界")}; }
RuntimeError RuntimeError::TypeMismatch() { return {13, QStringLiteral("类型不匹配")}; }
RuntimeError RuntimeError::BadFileName() { return {52, QStringLiteral("文件名或文件号错误")}; }
RuntimeError RuntimeError::FileNotFound() { return {53, QStringLiteral("文件未找到")}; }
RuntimeError RuntimeError::DeviceIO() { return {57, QStringLiteral("设备 I/O 错误")}; }
RuntimeError RuntimeError::DiskFull() { return {61, QStringLiteral("磁盘已满")}; }
RuntimeError RuntimeError::InputPastEndOfFile() { return {62, QStringLiteral("输入超出文件尾")}; }
RuntimeError RuntimeError::PermissionDenied() { return {70, QStringLiteral("权限被拒绝")}; }
RuntimeError RuntimeError::PathFileAccess() { return {75, QStringLiteral("路径/文件访问错误")}; }
RuntimeError RuntimeError::PathNotFound() { return {76, QStringLiteral("路径未找到")}; }
RuntimeError RuntimeError::ObjectNotSet() { return {91, QStringLiteral("对象变量或 With 块变量未设置")}; }
RuntimeError RuntimeError::BadFileFormat() { return {321, QStringLiteral("文件格式无效")}; }
RuntimeError RuntimeError::CannotCreateObject() { return {429, QStringLiteral("ActiveX 部件不能创建对象")}; }
RuntimeError RuntimeError::Automation(const QString& detail)
{
    return {-2147417848, detail.isEmpty() ? QStringLiteral("自动化错误") : QStringLiteral("自动化错误\r\n") + detail};
}

} // namespace brevix
