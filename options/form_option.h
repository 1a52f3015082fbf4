// The options dialog: four behaviour flags of the settings record and the
// shell verb of WAVE files.
#pragma once

#include "ui/button_dialog.h"

class QCheckBox;

namespace tidebell {

class TFormOption : public TButtonDialog {
public:
    TFormOption(SharedState& state, const WindowBounds& mainBounds, QWidget* parent = nullptr);

    void FormShow() override;
    void CheckBox1Click();
    void Button1Click() override;

    QCheckBox* CheckBox1 = nullptr;
    QCheckBox* CheckBox2 = nullptr;
    QCheckBox* CheckBox3 = nullptr;
    QCheckBox* CheckBox4 = nullptr;
    QCheckBox* CheckBox5 = nullptr;
};

}  // namespace tidebell
