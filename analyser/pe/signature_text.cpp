// The signature tables as the build embeds them from signatures/*.txt.
#include "signatures.h"

namespace {

constexpr char kPackerSparse[] =
#include "packer_sparse.inc"
    ;
constexpr char kPackerExact[] =
#include "packer_exact.inc"
    ;
constexpr char kCompilerSparse[] =
#include "compiler_sparse.inc"
    ;
constexpr char kCompilerExact[] =
#include "compiler_exact.inc"
    ;

}  // namespace

const char* PackerSparseText() {
    return kPackerSparse;
}
const char* PackerExactText() {
    return kPackerExact;
}
const char* CompilerSparseText() {
    return kCompilerSparse;
}
const char* CompilerExactText() {
    return kCompilerExact;
}
