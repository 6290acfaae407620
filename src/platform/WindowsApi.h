#pragma once
// <windows.h> for the project's Windows files, which include it only
// through here. Its macros for the comm events and modem status bits would
// turn the declarations of serial/LineEvents.h, which keep the same names
// and values as constants, into numbers; the constants serve instead. And
// ReplaceFile, a function of ours (platform/RegularFile.h), is a macro there
// for the system's ReplaceFileW, which we do not use.
#include <windows.h>

#undef ReplaceFile

#undef EV_RXCHAR
#undef EV_RXFLAG
#undef EV_TXEMPTY
#undef EV_CTS
#undef EV_DSR
#undef EV_RLSD
#undef EV_BREAK
#undef EV_ERR
#undef EV_RING
#undef MS_CTS_ON
#undef MS_DSR_ON
#undef MS_RING_ON
#undef MS_RLSD_ON
