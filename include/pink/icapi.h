/* icapi: the IC card reader interface.
 *
 * In this build only the clock entry does work: ZV_EXT_GetDateTime hands the
 * terminal's local date and time to the caller as 14 digits. The reader
 * entries ZV_EXT_IcInit and ZV_EXT_CmdApdu are one entry point under two
 * names; they accept any arguments, do nothing and report success.
 *
 *   char now[14];
 *   ZV_EXT_GetDateTime(now);            -- "20240305070809", no zero behind
 *   ZV_EXT_IcInit(port, 9600);          -- 0
 *
 * On Linux: libicapi.so. On Windows: icapi.dll; ZV_EXT_GetDateTime is
 * standard-call, the reader entries use the C convention (the caller removes
 * the arguments it pushed), all under their plain names.
 */
#ifndef PINK_ICAPI_H
#define PINK_ICAPI_H

#if defined(_WIN32)
#define ICAPI_CALL __stdcall
#define ICAPI_CDECL __cdecl
#else
#define ICAPI_CALL
#define ICAPI_CDECL
#endif

/* A parameter list that takes any arguments: (...) where the language has it
 * without a named parameter (C++, C23), an unprototyped () before C23. */
#if defined(__cplusplus) || (defined(__STDC_VERSION__) && __STDC_VERSION__ >= 202311L)
#define ICAPI_ANY_ARGUMENTS ...
#else
#define ICAPI_ANY_ARGUMENTS
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Writes the local date and time as "YYYYMMDDhhmmss" into the first 14 bytes
 * of `buffer`, with no terminating zero. A null buffer is left alone. Always 0. */
int ICAPI_CALL ZV_EXT_GetDateTime(char* buffer);

/* Any arguments; nothing happens. Always 0. */
int ICAPI_CDECL ZV_EXT_IcInit(ICAPI_ANY_ARGUMENTS);
int ICAPI_CDECL ZV_EXT_CmdApdu(ICAPI_ANY_ARGUMENTS);

#ifdef __cplusplus
}
#endif

#endif
