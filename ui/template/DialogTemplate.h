#pragma once

#include "StringTable.h"

#include <QList>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

#include <optional>

// One control of a dialog template, in the language it was loaded for.
struct TemplateControl
{
    enum class Kind { Label, Button, Edit, Combo, Check, List, Progress, Frame, Line, VerticalLine, Panel, Image };

    int id = -1;              // control number; -1 for the unnumbered statics
    QString name;             // object name, <purpose><Class>
    Kind kind = Kind::Label;
    QRect rect;               // dialog units
    QString caption;
    QString accessibleName;   // only where neither a caption nor a label names it
    QString accessibleDescription; // what a control is whose name is its changing text
    Qt::Alignment alignment = Qt::AlignLeft;
    int buddy = 0;            // the control this label names
    int describes = 0;        // the control this hint explains
    int icon = 0;             // icon resource number of a button
    int image = -1;           // row status pictured by a legend image
    bool hidden = false;
    bool tabStop = false;
    bool isDefault = false;
    bool sorted = false;
    bool sunken = false;
};

// A dialog layout with its controls in creation order, which is also the tab
// order of those that are tab stops. The layouts live as JSON resources with
// the English and German captions side by side; German positions, where they
// differ, are given separately.
struct DialogTemplate
{
    int templateId = 0;
    QString caption;          // window title; empty where it is set at run time
    QSize size;               // dialog units
    QString fontFamily;
    int fontPixelSize = 0;
    QList<TemplateControl> controls;
    QStringList rowStatusNames;

    const TemplateControl *find(int id) const;

    // Nothing (and `error` set) when the resource is missing or malformed.
    static std::optional<DialogTemplate> load(const QString &resourcePath, UiLanguage language,
                                              QString *error = nullptr);
};
