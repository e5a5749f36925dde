// Log calls that the format check must refuse at compile time, one per CASE. Case 0
// holds well-formed calls and must compile, so that a broken build line cannot pass
// for a refusal. log_format_check.cmake compiles each case and reads the error named
// after "expect:".
#include "updater/base/log.h"
#include "updater/base/text_helpers.h"

#include <cstddef>
#include <string>

enum Mask { kNone = 0 };

void Calls(ZvLib_CLog& log, const std::wstring& text, unsigned count, long long big, size_t size, wchar_t letter)
{
#if CASE == 0
    log.Log(zv::ZVLOG_INFO1, L"ZvLib: ---> (%d)(0x%x) '%s' %c %I64d %lld %ul %% %-10.3s|%*d|%6.1lf %zu\n", 1, count,
            text.c_str(), letter, big, big, count, L"abc", 4, 2, 1.5, size);
    log.Log(zv::ZVLOG_ERROR, L"no arguments\n");
    log.LogPlain(1, zv::ZVLOG_INFO1, L"[Info1] %s: ===< End, returning %d\n", L"ZvInstallPST", kNone);
    (void)zv::Format(64, L"%u.%u", count, count);
#elif CASE == 1 // expect: ArgumentDoesNotMatchConversion
    log.Log(zv::ZVLOG_INFO1, L"%s\n", 5);
#elif CASE == 2 // expect: ArgumentDoesNotMatchConversion
    log.Log(zv::ZVLOG_INFO1, L"%d\n", text.c_str());
#elif CASE == 3 // expect: ArgumentDoesNotMatchConversion
    log.Log(zv::ZVLOG_INFO1, L"%s\n", text);
#elif CASE == 4 // expect: ArgumentDoesNotMatchConversion
    log.Log(zv::ZVLOG_INFO1, L"%d\n", big);
#elif CASE == 5 // expect: ArgumentDoesNotMatchConversion
    log.Log(zv::ZVLOG_INFO1, L"%I64d\n", count);
#elif CASE == 6 // expect: ArgumentDoesNotMatchConversion
    log.Log(zv::ZVLOG_INFO1, L"%f\n", count);
#elif CASE == 7 // expect: ArgumentDoesNotMatchConversion
    log.Log(zv::ZVLOG_INFO1, L"%*d\n", size, 3);
#elif CASE == 8 // expect: TooFewArgumentsForFormat
    log.Log(zv::ZVLOG_INFO1, L"(%d)(0x%x)\n", 1);
#elif CASE == 9 // expect: TooManyArgumentsForFormat
    log.Log(zv::ZVLOG_INFO1, L"done\n", 1);
#elif CASE == 10 // expect: UnsupportedConversionInFormat
    log.Log(zv::ZVLOG_INFO1, L"%n\n", &count);
#elif CASE == 11 // expect: ArgumentDoesNotMatchConversion
    log.LogPlain(1, zv::ZVLOG_INFO1, L"[Info1] %s: x\n", letter);
#elif CASE == 12 // expect: ArgumentDoesNotMatchConversion
    (void)zv::Format(64, L"%s", 1.0);
#endif
    (void)log, (void)text, (void)count, (void)big, (void)size, (void)letter;
}
