#include "editions/contacts.h"

namespace brevix {

QString PublishingOffice() { return QStringLiteral("远帆联络办事处"); }

const ContactTexts& OfficeContacts()
{
    static const ContactTexts contacts{
        QStringLiteral("010-68392751"),
        QStringLiteral("010-68392753"),
        QStringLiteral("zixun@yflb.org.cn"),
    };
    return contacts;
}

} // namespace brevix
