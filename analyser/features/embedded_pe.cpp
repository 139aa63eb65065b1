#include "embedded_pe.h"

#include "image_frame.h"

int CEmbeddedPE::Analyse(IVirusCaptorDataProvidor* record) {
    return AskImage(record, reader_, [](const ImageSubject& image) {
        // The count includes the image's own header at offset 0.
        return image.reader.CountEmbeddedImages() > 1 ? 1 : 0;
    });
}
