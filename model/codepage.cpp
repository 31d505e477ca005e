// Code page 936 through ICU, with Microsoft's table: where the system has no
// converter of its own that writes what Windows writes.
#include "issuefile.h"

#include "errors.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>

namespace brevix {

namespace {

// Every character the code page lacks becomes the substitute, also those ICU
// would otherwise drop unseen as default-ignorable (soft hyphen, zero-width
// and direction marks, variation selectors, the byte-order mark ...).
void SubstituteEvery(const void*, UConverterFromUnicodeArgs* args, const UChar*, int32_t, UChar32,
                     UConverterCallbackReason reason, UErrorCode* status)
{
    if (reason != UCNV_UNASSIGNED && reason != UCNV_ILLEGAL && reason != UCNV_IRREGULAR)
        return;
    *status = U_ZERO_ERROR;
    ucnv_cbFromUWriteSub(args, 0, status);
}

// Windows code page 936: GBK with the euro sign at 0x80.
struct Converter {
    Converter()
    {
        UErrorCode status = U_ZERO_ERROR;
        cnv = ucnv_open("windows-936-2000", &status);
        if (U_FAILURE(status))
            throw RuntimeError::DeviceIO();
        // What the Windows converter writes for a character the code page lacks.
        status = U_ZERO_ERROR;
        ucnv_setSubstChars(cnv, "?", 1, &status);
        ucnv_setFromUCallBack(cnv, SubstituteEvery, nullptr, nullptr, nullptr, &status);
        if (U_FAILURE(status))
            throw RuntimeError::DeviceIO();
    }
    ~Converter() { ucnv_close(cnv); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    UConverter* cnv = nullptr;
};

} // namespace

QByteArray ToCodePage936(const QString& text)
{
    Converter c;
    QByteArray out;
    // At most two bytes per UTF-16 unit.
    out.resize(text.size() * 2 + 16);
    UErrorCode status = U_ZERO_ERROR;
    const int32_t written = ucnv_fromUChars(c.cnv, out.data(), static_cast<int32_t>(out.size()),
                                            reinterpret_cast<const UChar*>(text.utf16()),
                                            static_cast<int32_t>(text.size()), &status);
    if (U_FAILURE(status))
        throw RuntimeError::DeviceIO();
    out.truncate(written);
    return out;
}

QString FromCodePage936(const QByteArray& bytes)
{
    Converter c;
    QString out;
    // Never more UTF-16 units than bytes.
    out.resize(bytes.size() + 16);
    UErrorCode status = U_ZERO_ERROR;
    const int32_t written = ucnv_toUChars(c.cnv, reinterpret_cast<UChar*>(out.data()),
                                          static_cast<int32_t>(out.size()), bytes.constData(),
                                          static_cast<int32_t>(bytes.size()), &status);
    if (U_FAILURE(status))
        throw RuntimeError::DeviceIO();
    out.truncate(written);
    return out;
}

} // namespace brevix
