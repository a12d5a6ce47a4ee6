// The document decoder: any bytes either are refused as not text or decode
// to text that encodes back to the same bytes (when the file keeps to one
// line-break style, which is the one written back).
#include "fuzzsupport.h"
#include "surface/textfile.h"

using namespace qln;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const auto decoded = decodeText(bytes);
    FUZZ_CHECK(decoded.has_value() == !bytes.contains('\0'));
    if (!decoded)
        return 0;
    const QByteArray encoded = encodeText(decoded->text, decoded->format);
    if (fuzz::oneBreakStyle(bytes))
        FUZZ_CHECK(encoded == bytes);
    // Whatever the style, the text survives a save and a new open.
    const auto again = decodeText(encoded);
    FUZZ_CHECK(again && again->text == decoded->text);
    return 0;
}
