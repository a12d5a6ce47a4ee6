// The output box of a tool run: any output, cut into any chunks (bytes
// decoded as the runner decodes them, the box filled between chunks or
// not), shows the same text, links and locations as the line parser run on
// the whole output at once (decoded by QString::fromUtf8).
//
// Input: four bytes that choose the cuts, then the tool's output.
#include "fuzzsupport.h"
#include "surface/surface.h"
#include "tools/dosoutputs.h"
#include "tools/frmdosx.h"
#include "tools/toollocations.h"

#include <vector>

using namespace qln;

namespace {

const Surface::TextStyle kStyle{356435, true, false, false};
const QString kBefore = QStringLiteral("[Executing]\r\n");

// A small generator for the cuts.
struct Cuts {
    uint32_t state;
    uint32_t next()
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::ensureApplication();
    if (size < 4)
        return 0;
    Cuts cuts{(uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16
               | uint32_t(data[3]) << 24)
              | 1u};
    const QByteArray output(reinterpret_cast<const char *>(data + 4), qsizetype(size - 4));

    // The whole output at once: the text the box must hold, and what the
    // line parser finds on each of its lines.
    const QString whole = QString::fromUtf8(output);
    Surface reference;
    reference.setText(kBefore);
    reference.setSelStart(reference.length());
    reference.setSelText(whole);
    const QString expectedText = reference.text();
    std::vector<bool> expectedLinks(size_t(expectedText.size()), false);
    std::vector<ToolLocation> expectedLocations;
    for (int line = reference.lineFromChar(int(kBefore.size())); line < reference.lineCount();
         ++line) {
        const int start = reference.lineIndex(line);
        const QString text = reference.lineText(line);
        if (text.size() > 64 * 1024)
            continue;
        if (std::optional<ToolLocation> loc = parseToolLocation(text)) {
            for (int i = 0; i < loc->linkLength; ++i)
                expectedLinks[size_t(start + loc->linkStart + i)] = true;
            expectedLocations.push_back(*loc);
        }
    }

    // The same output in chunks of 1 to 256 bytes, as reads of a pipe.
    fuzz::QuietPrompter prompter;
    frmDosX host(prompter);
    ToolLocations locations;
    locations.begin(LocationContext{});
    host.setLocations(&locations);
    Surface box;
    box.setText(kBefore);
    host.beginOutput(&box, kStyle);
    Utf8Stream decoder;
    QString received;
    for (qsizetype at = 0; at < output.size();) {
        const uint32_t r = cuts.next();
        const qsizetype length = std::min<qsizetype>(
            output.size() - at, (r & 3) == 0 ? 1 + (r >> 8) % 4 : 1 + (r >> 8) % 256);
        const QString chunk = decoder.decode(QByteArrayView(output.constData() + at, length));
        at += length;
        if (chunk.isEmpty())
            continue;
        received += chunk;
        host.receiveOutput(chunk);
        if (r & 4) // the event loop comes round: what arrived goes into the box
            QCoreApplication::sendPostedEvents(&host, QEvent::MetaCall);
    }
    const QString rest = decoder.finish(); // the run's end
    received += rest;
    if (!rest.isEmpty())
        host.receiveOutput(rest);
    host.endOutput();

    FUZZ_CHECK(received == whole);
    FUZZ_CHECK(host.text() == whole);
    FUZZ_CHECK(box.text() == expectedText);
    for (int i = 0; i < box.length(); ++i)
        FUZZ_CHECK(box.formatAt(i).underline == expectedLinks[size_t(i)]);
    FUZZ_CHECK(locations.count() == int(expectedLocations.size()));
    for (int i = 0; i < locations.count(); ++i) {
        const ToolLocation &got = locations.at(i), &want = expectedLocations[size_t(i)];
        FUZZ_CHECK(got.sameSpot(want) && got.linkStart == want.linkStart
                   && got.linkLength == want.linkLength);
    }
    return 0;
}
