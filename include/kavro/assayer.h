#ifndef KAVRO_ASSAYER_H
#define KAVRO_ASSAYER_H
// Assayer.dll for its hosts: the names under which the library exports its functions,
// and their function types. A host loads the library and finds each export with
// GetProcAddress(module, kavro::kAssayer...Name), as a kavro::Assayer...* pointer.
//
// Every export is cdecl, under its undecorated name. A host serialises its calls: no
// export may be entered from two threads at once. Answers that mean yes or no are in
// the low byte of the result.
//
// Plain C++ for any 32-bit Windows compiler; it needs no windows.h.

// The calling convention of every export.
#if defined(_WIN32)
#define KAVRO_ASSAYER_CALL __cdecl
#elif defined(__GNUC__) && defined(__i386__)
#define KAVRO_ASSAYER_CALL __attribute__((cdecl))
#else
#define KAVRO_ASSAYER_CALL
#endif

namespace kavro {

// Reads the scoring configuration (weights and threshold) from the INI file at
// `configPath`; null keeps the built-in ones. The two rule-database paths are read by
// no reader of this library and have no effect. Returns 1.
typedef int KAVRO_ASSAYER_CALL AssayerInit(const char* configPath, const char* ruleDbPath1,
                                           const char* ruleDbPath2);
const char kAssayerInitName[] = "init";

// Adds one fact (kAssayerFact...) to the subject `subjectId`, which it creates when new.
// `data` points at the fact as the kind says; a null `data` adds nothing. The two
// reserved words are not read. Returns 1.
typedef int KAVRO_ASSAYER_CALL AssayerAppendInfo(int subjectId, unsigned int reserved1,
                                                 unsigned int reserved2, int kind,
                                                 const void* data);
const char kAssayerAppendInfoName[] = "AppendInfo";

// The kinds of fact AppendInfo takes, and what its `data` points at.
const int kAssayerFactPath = 1;        // a pointer to a NUL-terminated ANSI path
const int kAssayerFactStamp = 2;       // 8 bytes the host keeps with the subject
const int kAssayerFactCreateTime = 3;  // signed 64-bit seconds since 1970-01-01 UTC
const int kAssayerFactSize = 4;        // the file's size, a signed 32-bit count
const int kAssayerFactContent = 5;     // a pointer to the file's bytes; give the size first

// Judges the subject `subjectId`: 1 when it is suspicious, else 0 (also for a subject
// no fact was given for).
typedef int KAVRO_ASSAYER_CALL AssayerAnalyseInfo(int subjectId);
const char kAssayerAnalyseInfoName[] = "AnalyseInfo";

// The score of the last AnalyseInfo.
typedef int KAVRO_ASSAYER_CALL AssayerGetAnalyseResult();
const char kAssayerGetAnalyseResultName[] = "GetAnalyseResult";

// Forgets every subject. Returns 1.
typedef int KAVRO_ASSAYER_CALL AssayerReleaseInfo();
const char kAssayerReleaseInfoName[] = "ReleaseInfo";

// Called by a host that is done with the library. Returns 1.
typedef int KAVRO_ASSAYER_CALL AssayerRelease();
const char kAssayerReleaseName[] = "Release";

// Copies the hit letters of the last AnalyseInfo into `buffer` (at most size - 1 letters,
// always terminated when size > 0) and returns how many letters there are.
typedef int KAVRO_ASSAYER_CALL AssayerGetAnalyseHits(char* buffer, int size);
const char kAssayerGetAnalyseHitsName[] = "GetAnalyseHits";

// Adds the entry-point signatures of an analyst's signature database (an ANSI path) to
// the packer rows, after every built-in row. Returns the rows added, or -1 when the file
// cannot be read or memory runs out (nothing is added then). Only a regular file is read:
// a device such as CON, a pipe or a folder is refused before anything is asked of it.
// `message`, when not null,
// receives one line about what was added and skipped, or why nothing was, cut to
// `messageSize` bytes with its terminator.
typedef int KAVRO_ASSAYER_CALL AssayerLoadSignatures(const char* path, char* message,
                                                     int messageSize);
const char kAssayerLoadSignaturesName[] = "LoadSignatures";

}  // namespace kavro

#endif  // KAVRO_ASSAYER_H
