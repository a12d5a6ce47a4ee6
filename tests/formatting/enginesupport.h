#pragma once
// Helpers shared by the engine's tests and benchmark: the factory
// preferences as first run writes them, formats compared character by
// character, and a progress bar that records what it was given.

#include "formatting/commandhost.h"
#include "settings/preferences.h"

#include <QString>
#include <vector>

namespace qln {
class Surface;
}

namespace qln::enginetest {

// The preferences a fresh installation loads: first run into an in-memory
// store, then the list and property loaders.
Preferences factoryPreferences();

// Empty when both surfaces hold the same text and every character has the
// same colour, bold, italic and underline; otherwise a description of the
// first difference with some context.
QString compareFormats(const Surface &a, const Surface &b);

class RecordingProgress : public ProgressSink {
public:
    bool isVisible() const override { return m_visible; }
    void setVisible(bool visible) override { m_visible = visible; }
    int value() const override { return m_value; }
    void setValue(int value) override
    {
        if (value < 0 || value > 100)
            return;
        m_value = value;
        if (values.empty() || values.back() != value)
            values.push_back(value);
    }
    // Distinct successive values.
    std::vector<int> values;

private:
    bool m_visible = false;
    int m_value = 0;
};

} // namespace qln::enginetest
