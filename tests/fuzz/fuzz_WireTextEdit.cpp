#include "FuzzCheck.h"
#include "WireEditScript.h"

#include <QApplication>

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

WireTextEdit &box()
{
    static int argc = 1;
    static char name[] = "fuzz_WireTextEdit";
    static char *argv[] = {name, nullptr};
    static const bool offscreen = qputenv("QT_QPA_PLATFORM", "offscreen");
    Q_UNUSED(offscreen);
    // Both live as long as the process: Qt's own globals go first at exit.
    static QApplication *app = new QApplication(argc, argv);
    Q_UNUSED(app);
    static WireTextEdit *box = [] {
        auto *created = new WireTextEdit;
        created->show();
        return created;
    }();
    return *box;
}

} // namespace

// The same edits as the differential test, chosen by the fuzz input: after
// each one the box holds exactly what the reference string holds.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    WireTextEdit &edit = box();
    edit.setText(QString());
    edit.setUndoRedoEnabled(data[0] & 1);
    // Laid out a few characters at a time, edits meet rows not laid out yet;
    // a few characters to a row, marks push words across several rows.
    edit.setLayoutSlice(data[0] & 2 ? 9 : 1 << 20);
    edit.resize(data[0] & 4 ? 70 : 240, 120);
    FuzzChoices choices(data + 1, size - 1);
    WireEditScript<FuzzChoices> script(edit, choices);
    for (int step = 0; step < 256 && !choices.exhausted(); ++step) {
        const QString failure = script.step();
        if (!failure.isEmpty())
            std::fprintf(stderr, "%s\n", qPrintable(failure));
        check(failure.isEmpty());
    }
    return 0;
}
