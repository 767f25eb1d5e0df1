#pragma once

#include "ControlSet.h"
#include "EditorContents.h"
#include "GatewaySocketOwner.h"

#include <QObject>
#include <QString>

#include <optional>

class GatewayList;
class QAbstractItemView;

// The lower half of the main window: the configuration of the selected
// gateway in editable controls. It keeps no data of its own; every load
// copies the selected row of the gateway list into the controls, and the
// write (ConfigurationWrite) reads them back. What is shown depends on the
// gateway's type, the selected mode and the product variant.
//
// The lookups below take a normalised MAC text (NormalizeMac) and compare it
// with each row's MAC column with blanks and '-' removed, first row first.
class ConfigurationEditor : public QObject
{
    Q_OBJECT

public:
    // Result of LookUpGateway: 0 = may be written; 1 protected by another
    // password, 2 unknown type, 3 no row with this MAC, 4 corrupt content.
    struct GatewayCheck
    {
        int checkCode = 0;
        quint32 typeCode = 0;
    };

    ConfigurationEditor(const ControlSet &controls, GatewayList &list, QObject *parent = nullptr);

    void setVariant(int variantIndex) { m_variantIndex = variantIndex; }
    // The list control whose selection the editor follows.
    void setListView(QAbstractItemView *view) { m_listView = view; }

    // Reloads the editor from the selected row (or empties it). Runs on every
    // change of the list's rows.
    void OnGatewayListItemChanged();
    // The selection moved: as if it had first been cleared, so that one
    // gateway never shows another's serial settings, then loaded.
    void OnSelectionChanged();
    // Lays the rows out for the selected communication mode.
    void OnModeChanged();
    void OnSetOem();
    void OnOemTypeChanged();
    // The editor without a selected gateway: fields empty and disabled, the
    // serial-line controls hidden and without selection.
    void ShowEmptyEditor();

    // The row in the selected state, -1 for none.
    int selectedRow() const;
    // Puts `row` into the selected state (the editor follows by itself).
    void selectRow(int row);

    EditorContents contents() const;

    static QString NormalizeMac(const QString &text);
    bool IsSubnetChanged(const QString &mac) const;
    // The row's RowStatus, -1 when the row does not exist.
    int GetRowStatus(int row) const;
    GatewayCheck LookUpGateway(const QString &mac) const;
    // The first row with this MAC when it shows `ipText` (or both texts
    // contain "DHCP"), or any address when none is given; otherwise -1.
    int FindGatewayRow(const std::optional<QString> &ipText, const QString &mac) const;
    // The last row with this MAC, -1 for none; its firmware text goes to
    // `firmware`, which stays untouched without a match.
    int GetFirmwareByMac(const QString &mac, QString *firmware) const;
    // The first row with this MAC, -1 for none.
    int firstRowOf(const QString &mac) const;

private:
    void loadIdentified(int row, quint32 typeCode);
    void loadSerial(int row);
    void hideUnidentifiedControls();
    static void selectByText(QComboBox *box, const QString &text);
    static void selectByNumber(QComboBox *box, const QString &numberText);

    ControlSet m_controls;
    GatewayList &m_list;
    QAbstractItemView *m_listView = nullptr;
    int m_variantIndex = -1;
};
