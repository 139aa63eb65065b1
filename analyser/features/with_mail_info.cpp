#include "with_mail_info.h"

#include "image_frame.h"
#include "mail_text.h"

namespace {

int OnText(const PEString* text, void* user) {
    if (text == nullptr || !LooksLikeMailAddress(text->text, text->length)) return 1;
    *static_cast<int*>(user) = 1;
    return 0;  // found: stop the walk
}

}  // namespace

int CWithMailInfo::Analyse(IVirusCaptorDataProvidor* record) {
    return AskImage(record, reader_, [](const ImageSubject& image) {
        int found = 0;
        image.reader.EnumStrings(kMinTextLength, OnText, &found);
        return found;
    });
}
