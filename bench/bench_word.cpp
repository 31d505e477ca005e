// The COM backend against word_standin.exe (the tests' stand-in for Word,
// registered for the run and unregistered after), under wine or on Windows:
//  - per call, what the backend adds to a bare IDispatch round trip (the same
//    member called with its DISPID known and its argument made once): a
//    property read (Range.End), an append (Range.InsertAfter) and a font
//    setting (Range.Font, then Font.Name: two round trips either way);
//  - the whole 40-article issue through COM, beside the built-in engine.
//
//   bench_word [--calls 1000]

#include "bench/synthetic_issue.h"
#include "builtin/builtin_backend.h"
#include "com/word_backend.h"
#include "editions/edition.h"
#include "engine/application.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <utility>

#include <windows.h>
#include <ole2.h>
#include <oleauto.h>

using namespace brevix;
using bench::SyntheticIssue;

namespace {

const OutputTexts Texts{"3", "45", "2026", "12", "7"};

// This thread's processor time so far, in microseconds: the client's own
// share of a call, which the server's and wine's scheduling do not blur.
double ThreadCpuMicroseconds()
{
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    const auto micro = [](const FILETIME& t) {
        return static_cast<double>((static_cast<quint64>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10.0;
    };
    return micro(kernel) + micro(user);
}

struct Cost {
    double wall = 1e300; // microseconds per call, best round
    double cpu = 1e300;  // this thread's processor time per call, best round
};

// Each of two ways over ten rounds of `calls`, taken turn about so that both
// see the server in the same state.
std::pair<Cost, Cost> PerCall(int calls, const std::function<void()>& first, const std::function<void()>& second)
{
    Cost best[2];
    for (int round = 0; round < 20; ++round) {
        const auto& f = round % 2 ? second : first;
        QElapsedTimer timer;
        const double cpuStart = ThreadCpuMicroseconds();
        timer.start();
        for (int i = 0; i < calls; ++i)
            f();
        Cost& b = best[round % 2];
        b.wall = std::min(b.wall, static_cast<double>(timer.nsecsElapsed()) / 1000.0 / calls);
        b.cpu = std::min(b.cpu, (ThreadCpuMicroseconds() - cpuStart) / calls);
    }
    return {best[0], best[1]};
}

DISPID Id(IDispatch* object, const wchar_t* name)
{
    DISPID id = DISPID_UNKNOWN;
    auto* names = const_cast<LPOLESTR>(name);
    object->GetIDsOfNames(IID_NULL, &names, 1, LOCALE_USER_DEFAULT, &id);
    return id;
}

// A bare call: DISPID known, arguments ready, no checks beyond the HRESULT.
HRESULT Bare(IDispatch* object, DISPID id, WORD flags, VARIANT* arg, VARIANT* result)
{
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{arg, flags == DISPATCH_PROPERTYPUT ? &put : nullptr, arg ? 1u : 0u, flags == DISPATCH_PROPERTYPUT ? 1u : 0u};
    VariantClear(result);
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, flags == DISPATCH_PROPERTYPUT ? nullptr : result, nullptr, nullptr);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int calls = 1000;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i)
        if (args[i] == "--calls")
            calls = args[i + 1].toInt();
    const QString standin = QCoreApplication::applicationDirPath() + "/word_standin.exe";
    if (QProcess::execute(standin, {"/RegServer"}) != 0) {
        std::fprintf(stderr, "bench_word: cannot register %s\n", qPrintable(standin));
        return 1;
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        com::WordBackend backend;
        const auto application = backend.CreateObject(word::WordApplicationClass());
        const auto document = application->get_Documents()->Add();
        const auto range = document->Range(0, 0);

        // The same server's objects, bare.
        CLSID clsid;
        CLSIDFromProgID(L"Word.Application", &clsid);
        com::ComRef<IUnknown> unknown;
        GetActiveObject(clsid, nullptr, unknown.out());
        com::ComRef<IDispatch> bareApp;
        unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(bareApp.out()));
        VARIANT result;
        VariantInit(&result);
        Bare(bareApp.get(), Id(bareApp.get(), L"ActiveDocument"), DISPATCH_PROPERTYGET, nullptr, &result);
        com::ComRef<IDispatch> bareDoc(result.pdispVal);
        VariantInit(&result);
        VARIANT positions[2];
        positions[0].vt = positions[1].vt = VT_I4;
        positions[0].lVal = positions[1].lVal = 0;
        const DISPID rangeId = Id(bareDoc.get(), L"Range");
        DISPPARAMS rangeParams{positions, nullptr, 2, 0};
        bareDoc->Invoke(rangeId, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &rangeParams, &result, nullptr, nullptr);
        com::ComRef<IDispatch> bareRange(result.pdispVal);
        VariantInit(&result);
        const DISPID endId = Id(bareRange.get(), L"End"), insertId = Id(bareRange.get(), L"InsertAfter"),
                     fontId = Id(bareRange.get(), L"Font");
        Bare(bareRange.get(), fontId, DISPATCH_PROPERTYGET, nullptr, &result);
        const DISPID nameId = Id(result.pdispVal, L"Name");
        VariantClear(&result);
        VARIANT text;
        text.vt = VT_BSTR;
        text.bstrVal = SysAllocString(L"一");
        VARIANT fontName;
        fontName.vt = VT_BSTR;
        fontName.bstrVal = SysAllocString(L"黑体");

        struct Row {
            const char* what;
            std::function<void()> bare, backend;
        };
        const Row rows[] = {
            {"Range.End (read)", [&] { Bare(bareRange.get(), endId, DISPATCH_PROPERTYGET, nullptr, &result); },
             [&] { range->get_End(); }},
            {"Range.Font.Name (2 calls)",
             [&] {
                 Bare(bareRange.get(), fontId, DISPATCH_PROPERTYGET, nullptr, &result);
                 IDispatch* font = result.pdispVal;
                 VARIANT none;
                 VariantInit(&none);
                 Bare(font, nameId, DISPATCH_PROPERTYPUT, &fontName, &none);
                 VariantClear(&result);
             },
             [&] { range->get_Font()->put_Name(QStringLiteral("黑体")); }},
            {"Range.InsertAfter", [&] { Bare(bareRange.get(), insertId, DISPATCH_METHOD, &text, &result); },
             [&] { range->InsertAfter(QStringLiteral("一")); }},
        };
        std::printf("Per call, best of 10 rounds of %d each, turn about (microseconds; wall time,\n"
                    "then this client's processor time):\n", calls);
        std::printf("  %-26s %8s %8s %7s   %8s %8s\n", "", "bare", "backend", "added", "bare", "backend");
        for (const Row& row : rows) {
            const auto [bare, through] = PerCall(calls, row.bare, row.backend);
            std::printf("  %-26s %8.1f %8.1f %6.1f%%   %8.1f %8.1f\n", row.what, bare.wall, through.wall,
                        100.0 * (through.wall - bare.wall) / bare.wall, bare.cpu, through.cpu);
        }
        VariantClear(&text);
        VariantClear(&fontName);
        VariantClear(&result);
        backend.CloseLastDocument();
        backend.QuitIfStarted();
    }

    const QVector<Article> issue = SyntheticIssue(40);
    QElapsedTimer timer;
    double comSeconds = 0;
    {
        com::WordBackend backend;
        timer.start();
        Brevix2003Edition().outputIssueToWord(backend, issue, Texts, YieldFn());
        comSeconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
        backend.CloseLastDocument();
        backend.QuitIfStarted();
    }
    timer.start();
    {
        builtin::BuiltinBackend backend;
        Brevix2003Edition().outputIssueToWord(backend, issue, Texts, YieldFn());
    }
    const double engineSeconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    for (const auto& running : engine::Application::all())
        running->quit();
    std::printf("40-article issue (Brevix2003): through COM %.2f s, built-in engine %.3f s\n", comSeconds, engineSeconds);

    CoUninitialize();
    QProcess::execute(standin, {"/UnregServer"});
    return 0;
}
