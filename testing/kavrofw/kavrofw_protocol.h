/* What the filter-driver double and the tests that steer it share. Plain C: the driver
 * is built against the DDK headers, the tests against windows.h. */
#ifndef KAVROFW_PROTOCOL_H
#define KAVROFW_PROTOCOL_H

/* Device type 0x8300, buffered, any access. */
#define KAVROFW_CODE(function) (0x83000000u | ((unsigned)(function) << 2))

/* The product's own requests answer in the driver's formats. Functions 0xA00 and up are
 * the double's: they read what it got and steer its next answers. */
#define KAVROFW_READ_STATE KAVROFW_CODE(0xA00)      /* out: KavroFwState */
#define KAVROFW_READ_RULES KAVROFW_CODE(0xA01)      /* out: the rule table, 44 bytes a rule */
#define KAVROFW_QUEUE_TRAFFIC KAVROFW_CODE(0xA02)   /* in: n x 28-byte traffic entries */
#define KAVROFW_REPORT_HELD KAVROFW_CODE(0xA03)     /* in: held count to report, or KAVROFW_REAL */
#define KAVROFW_CLAIM_COUNT KAVROFW_CODE(0xA04)     /* in: count the next traffic answer claims */
#define KAVROFW_REFUSE KAVROFW_CODE(0xA05)          /* in: KavroFwRefusal */
#define KAVROFW_ANSWER_ADD_WITH KAVROFW_CODE(0xA06) /* in: id the next add answers with */
#define KAVROFW_ANSWER_ADD_SHORT KAVROFW_CODE(0xA07) /* in: bytes the next add's answer has */

#define KAVROFW_REAL 0xFFFFFFFFu
#define KAVROFW_MAX_RULES 1024
#define KAVROFW_MAX_TRAFFIC 1024
#define KAVROFW_MAX_BATCHES 32

typedef struct KavroFwRefusal {
    unsigned int code; /* a product code, e.g. 0x830020C4 */
    unsigned int times;
} KavroFwRefusal;

typedef struct KavroFwState {
    int policy;
    int enabled; /* -1 until told, then 1 after 0x830020CC and 0 after 0x830020D0 */
    int handlesOpen;
    int ruleCount;
    int addressBlocks;
    unsigned int addresses[16]; /* the last address block as received */
    int batchCount;             /* add requests taken; the first KAVROFW_MAX_BATCHES sizes */
    int batchSizes[KAVROFW_MAX_BATCHES];
    int lastDeletedId;
    unsigned char lastUpdate[44];
    int calls[16]; /* product requests per function 0x830 + index, refused ones included */
    int trafficQueued;
} KavroFwState;

#define KAVROFW_CALLS(state, code) ((state).calls[((code) >> 2) & 0xF])

#endif
