// The tool dialog's command language: classification, normalisation,
// parsing and evaluation of any code.
#include "fuzzsupport.h"
#include "tools/commandlanguage.h"

using namespace qln;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::ensureApplication();
    fuzz::Input in(data, size);
    const bool archive = in.flag();
    const bool jar = in.flag();
    const QString code = in.rest();

    const auto classes = classifyCode(code, archive);
    FUZZ_CHECK(classes.size() == size_t(code.size()));
    // Normalising shrinks blank runs a fixed number of steps per change, so
    // it is not settled after one round; it never grows the code.
    const QString normal = NormaliseCode(code, archive);
    FUZZ_CHECK(normal.size() <= code.size() + 64);

    QStringList tokens;
    const bool valid = ParseCode(normal, archive, &tokens);
    CodeContext context;
    context.boxes.archiveInUse = archive;
    context.boxes.inFile = QStringLiteral("/tmp/a b/In.java");
    context.boxes.archive = QStringLiteral("x.jar");
    context.boxes.executable = QStringLiteral("In");
    context.mode = jar ? QStringLiteral("Jar") : QStringLiteral("Javac");
    context.options = QStringLiteral("-g");
    context.manifestExtra = QStringLiteral("m.txt");
    const auto line = EvaluateCode(normal, context);
    FUZZ_CHECK(line.has_value() == valid);

    QString limited = code;
    fuzz::QuietPrompter prompter;
    limitCodeLength(limited, prompter);
    FUZZ_CHECK(limited.size() <= 255);
    (void)shellEscape(code);
    return 0;
}
