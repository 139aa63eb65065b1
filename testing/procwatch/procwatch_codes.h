/* The control codes of the process-creation driver double (C and C++). */
#ifndef PROCWATCH_CODES_H
#define PROCWATCH_CODES_H

#define PROCWATCH_CODE(function) (0x80000000UL | ((function) << 2))

/* What the component sends. */
#define PROCWATCH_START_REPORTING PROCWATCH_CODE(0x801) /* 0x80002004 */
#define PROCWATCH_STOP_REPORTING PROCWATCH_CODE(0x802)  /* 0x80002008 */
#define PROCWATCH_READ_LATEST PROCWATCH_CODE(0x803)     /* 0x8000200C: 12 bytes out */

/* Test only. */
#define PROCWATCH_REPORT PROCWATCH_CODE(0x900)     /* in: 12-byte record */
#define PROCWATCH_COUNTERS PROCWATCH_CODE(0x901)   /* out: struct procwatch_counters */
#define PROCWATCH_QUEUE_MODE PROCWATCH_CODE(0x902) /* in: ULONG 1 queue, 0 latest only */
#define PROCWATCH_FAIL_READS PROCWATCH_CODE(0x903) /* in: struct procwatch_failure */
/* in: ULONG 1 holds every later read pending (until cancelled or released), 0 answers
   every held request (reads with what the driver has) and stops holding */
#define PROCWATCH_HOLD_READS PROCWATCH_CODE(0x904)

struct procwatch_counters {
    unsigned long starts;    /* PROCWATCH_START_REPORTING received */
    unsigned long stops;     /* PROCWATCH_STOP_REPORTING received */
    unsigned long reads;     /* PROCWATCH_READ_LATEST received, failed ones included */
    unsigned long reporting; /* 1 between a start and a stop */
    unsigned long queued;    /* records not read yet (queue mode) */
    unsigned long held;      /* requests kept pending now (PROCWATCH_HOLD_READS, HoldStart) */
    unsigned long cancelled; /* held requests that their sender cancelled */
};

/* DWORD values of the service key, read when the driver starts: NoEvent = 1 creates no
   event; HoldStart = 1 keeps the first PROCWATCH_START_REPORTING pending like a held
   read. */

/* The next `count` reads fail; with `short_bytes` nonzero they succeed with only that
   many bytes instead. */
struct procwatch_failure {
    unsigned long count;
    unsigned long short_bytes;
};

#endif
