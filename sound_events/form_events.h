// The sound event dialog: assigns the WAVE file in
// SharedState::EventSoundFile to one sound event of the desktop.
#pragma once

#include "ui/button_dialog.h"

class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

namespace tidebell {

class TFormEvents : public TButtonDialog {
public:
    TFormEvents(SharedState& state, const WindowBounds& mainBounds, QWidget* parent = nullptr);

    void FormShow() override;
    void TreeView1Changing(QTreeWidgetItem* node);
    void TreeView1DblClick();
    void Button1Click() override;

    // An event node is a child of an application node.
    static bool isEventNode(const QTreeWidgetItem* node);

    QLabel* Label2 = nullptr;
    QLabel* StaticText1 = nullptr;
    QLabel* Label1 = nullptr;
    QTreeWidget* TreeView1 = nullptr;
};

}  // namespace tidebell
