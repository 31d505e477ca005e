#pragma once
// Run-time errors as the classic runtime reported them: an error number and a
// Chinese description. Every command handler catches RuntimeError and shows
// the description in its error box.

#include <QString>
#include <exception>
#include <string>

namespace brevix {

class RuntimeError : public std::exception {
public:
    RuntimeError(int number, QString description);

    int number() const noexcept { return number_; }
    const QString& description() const noexcept { return description_; }
    const char* what() const noexcept override { return utf8_.c_str(); }

    // The errors this program raises, with the classic numbers and wording.
    static RuntimeError Overflow();             //  6 溢出
    static RuntimeError SubscriptOutOfRange();  //  9 下标越界
    static RuntimeError TypeMismatch();         // 13 类型不匹配
    static RuntimeError BadFileName();          // 52 文件名或文件号错误
    static RuntimeError FileNotFound();         // 53 文件未找到
    static RuntimeError DeviceIO();             // 57 设备 I/O 错误
    static RuntimeError DiskFull();             // 61 磁盘已满
    static RuntimeError InputPastEndOfFile();   // 62 输入超出文件尾
    static RuntimeError PermissionDenied();     // 70 权限被拒绝
    static RuntimeError PathFileAccess();       // 75 路径/文件访问错误
    static RuntimeError PathNotFound();         // 76 路径未找到
    static RuntimeError ObjectNotSet();         // 91 对象变量或 With 块变量未设置
    static RuntimeError BadFileFormat();        // 321 文件格式无效
    static RuntimeError CannotCreateObject();   // 429 ActiveX 部件不能创建对象
    static RuntimeError Automation(const QString& detail); // -2147417848 自动化错误

private:
    int number_;
    QString description_;
    std::string utf8_;
};

} // namespace brevix
