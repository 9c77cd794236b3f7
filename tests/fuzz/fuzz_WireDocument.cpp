#include "DocumentScript.h"
#include "FuzzCheck.h"
#include "WireMetrics.h"

#include <QGuiApplication>

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace {

// Reads the fuzz input as the choices of a user and a peer.
class FuzzChoices
{
public:
    FuzzChoices(const std::uint8_t *data, std::size_t size) : m_data(data), m_size(size) {}
    bool exhausted() const { return m_at >= m_size; }
    quint32 operator()(quint32 bound)
    {
        quint32 value = 0;
        for (quint32 range = 1; range < bound && m_at < m_size; range <<= 8)
            value = (value << 8) | m_data[m_at++];
        return bound > 1 ? value % bound : 0;
    }

private:
    const std::uint8_t *m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

// The widths of the boxes' own font; the application is there for fonts only.
const WireMetrics &metrics()
{
    static int argc = 1;
    static char name[] = "fuzz_WireDocument";
    static char *argv[] = {name, nullptr};
    static const bool offscreen = qputenv("QT_QPA_PLATFORM", "offscreen");
    Q_UNUSED(offscreen);
    // Both live as long as the process: Qt's own globals go first at exit.
    static QGuiApplication *app = new QGuiApplication(argc, argv);
    Q_UNUSED(app);
    static const WireMetrics *metrics = [] {
        QFont font(QStringLiteral("Liberation Mono"));
        font.setPointSizeF(8.25);
        return new WireMetrics(font);
    }();
    return *metrics;
}

} // namespace

// The same edits as the headless differential test, chosen by the fuzz
// input: after each one the document holds exactly what the reference string
// holds, and its rows are those the reference wraps.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const WireMetrics &widths = metrics();
    // Laid out a few characters at a time, edits meet rows not laid out yet;
    // a few characters to a row, marks push words across several rows.
    const qsizetype slice = data[0] & 2 ? 9 : 1 << 20;
    const int width = (data[0] & 4 ? 7 : 30) * widths.spaceAdvance() + 17;
    // Blocks of a few characters, edits span, split and join them.
    const qsizetype blockLength = data[0] & 8 ? 4 : TextStore::defaultBlockLength;
    FuzzChoices choices(data + 1, size - 1);
    DocumentScript<FuzzChoices> script(widths, width, slice, data[0] & 1, blockLength, choices);
    for (int step = 0; step < 256 && !choices.exhausted(); ++step) {
        const QString failure = script.step();
        if (!failure.isEmpty())
            std::fprintf(stderr, "%s\n", qPrintable(failure));
        check(failure.isEmpty());
    }
    return 0;
}
