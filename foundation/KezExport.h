// Export macro of the KezDcQr shared library. The library is built with
// hidden visibility; every public class and function carries KEZDCQR_API.
#ifndef KEZ_EXPORT_H
#define KEZ_EXPORT_H

#if defined(KEZDCQR_STATIC)
#define KEZDCQR_API
#elif defined(_WIN32)
#if defined(KEZDCQR_BUILDING)
#define KEZDCQR_API __declspec(dllexport)
#else
#define KEZDCQR_API __declspec(dllimport)
#endif
#else
#define KEZDCQR_API __attribute__((visibility("default")))
#endif

#if defined(__GNUC__)
#define KEZ_PRINTF(fmt_index, first_arg) __attribute__((format(printf, fmt_index, first_arg)))
#else
#define KEZ_PRINTF(fmt_index, first_arg)
#endif

#endif
