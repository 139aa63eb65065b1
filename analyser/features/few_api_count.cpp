#include "few_api_count.h"

#include "image_frame.h"

int CFewAPICount::Analyse(IVirusCaptorDataProvidor* record) {
    return AskImage(record, reader_, [](const ImageSubject& image) {
        return image.reader.GetTotalImportCount() <= kMaxImports ? 1 : 0;
    });
}
