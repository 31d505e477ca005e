#pragma once
// The publishing office's contact texts, fixed in the build and printed in
// the closing block of both editions' bulletins.

#include "generator/bulletin.h"

namespace brevix {

// The office that publishes the bulletin, as the masthead names it.
QString PublishingOffice();

// Telephone, fax and e-mail of the publishing office (one set for both editions).
const ContactTexts& OfficeContacts();

} // namespace brevix
