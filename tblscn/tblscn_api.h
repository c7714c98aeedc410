/* The table-structure component's C interface (TBLSCN.DLL): the tagged values the program
 * passes to DEF, the progress record the component passes to the status callback, and the
 * two exported functions. Shared by the component and the program's schema check. */
#ifndef TBLSCN_API_H
#define TBLSCN_API_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum TblscnKind {
    TBLSCN_INT = 0,        /* i */
    TBLSCN_BOOL = 1,       /* i: 0 or 1 */
    TBLSCN_SHORTTEXT = 2,  /* text, at most 255 bytes, Windows-1252 */
    TBLSCN_LONGTEXT = 3,   /* text, UTF-8 (folders) */
    TBLSCN_ADDRESS = 4     /* address: a procedure or a handle */
};

typedef struct TblscnValue {
    int32_t kind;
    int32_t i;
    const char* text;
    int32_t length;  /* bytes of text (a short text may hold a zero byte) */
    void* address;
} TblscnValue;

/* Progress record: 521 packed bytes, integers little-endian. */
enum { TBLSCN_PROGRESS_SIZE = 521 };
enum TblscnState {
    TBLSCN_START = 0, TBLSCN_END = 1, TBLSCN_VERIFYING = 2, TBLSCN_CREATING = 3,
    TBLSCN_MODIFYING = 4, TBLSCN_REBUILDING = 5,
    /* A table in the older format: being converted; converted with every row; converted with
     * rows the definition refused (listed in the conversion's report); not readable, left as
     * it was (the other tables go on). */
    TBLSCN_CONVERTING = 6, TBLSCN_CONVERTED = 7, TBLSCN_CONVERTED_REFUSED = 8,
    TBLSCN_OLD_UNREADABLE = 9
};

typedef void (*TblscnDefinitionProc)(void);
/* Answers nonzero to go on, zero to stop. */
typedef int (*TblscnStatusCallback)(const unsigned char* progressRecord);

typedef void (*TblscnDefFn)(const TblscnValue* values, int32_t lastIndex);
typedef void (*TblscnGetFn)(char* buffer, int32_t capacity);

#ifdef __cplusplus
}
#endif

#endif
