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
        // The reader's strings are the printable runs of the whole content. Only a run
        // with an "@" can make an address, so those runs are looked at directly; the
        // walk over every string (most of the time spent on a typical image) is needed
        // only when where its probe lands would decide.
        const size_t size = image.size > 0 ? static_cast<size_t>(image.size) : 0;
        switch (FindMailText(image.content, size, kMinTextLength, kMaxStringLength)) {
            case MailTextAnswer::kNo:
                return 0;
            case MailTextAnswer::kYes:
                return 1;
            case MailTextAnswer::kUnsure:
                break;
        }
        int found = 0;
        image.reader.EnumStrings(kMinTextLength, OnText, &found);
        return found;
    });
}
