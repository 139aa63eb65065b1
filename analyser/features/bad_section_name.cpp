#include "bad_section_name.h"

#include "image_frame.h"
#include "section_names.h"

int CBadSectionName::Analyse(IVirusCaptorDataProvidor* record) {
    return AskImage(record, reader_, [](const ImageSubject& image) {
        const int count = image.reader.GetSectionCount();
        if (count < 1) return 0;
        return HasUnknownSectionName(image.content, image.size, image.reader.GetNtHeaderOffset(),
                                     count)
                   ? 1
                   : 0;
    });
}
