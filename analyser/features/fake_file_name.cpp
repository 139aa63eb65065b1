#include "fake_file_name.h"

int CFakeFileName::Analyse(IVirusCaptorDataProvidor* record) {
    // The two derived names live in separate scratch buffers, so both can be passed
    // at once; the core copies them into its own candidate text.
    return core_.Analyse(record->GetBaseName(), record->GetExtName());
}
