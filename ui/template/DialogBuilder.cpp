#include "DialogBuilder.h"

#include "Artwork.h"
#include "IconButton.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeView>
#include <QWidget>

namespace {

QFont dialogFont(const DialogTemplate &dialogTemplate)
{
    QFont font(dialogTemplate.fontFamily);
    font.setPixelSize(dialogTemplate.fontPixelSize);
    return font;
}

// Height of a closed drop-down list; the template's height is that of the
// opened list.
constexpr int ComboFieldHeight = 13;

// A button that the layout gives an icon is an IconButton; the window that
// owns it dresses it with its icon and look.
QPushButton *makeButton(const TemplateControl &entry, QWidget *parent)
{
    QPushButton *button = entry.icon != 0 ? new IconButton(entry.caption, parent)
                                          : new QPushButton(entry.caption, parent);
    button->setAutoDefault(true);
    button->setDefault(entry.isDefault);
    return button;
}

QLabel *makeLabel(const TemplateControl &entry, QWidget *parent, int pixelHeight)
{
    auto *label = new QLabel(entry.caption, parent);
    label->setTextFormat(Qt::PlainText);
    // Only a label with room for a second line wraps; a one-line label whose
    // text runs long grows instead (see fitLabel).
    label->setWordWrap(pixelHeight >= 2 * label->fontMetrics().height());
    label->setAlignment(entry.alignment | Qt::AlignTop);
    if (entry.sunken) {
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setAlignment(entry.alignment | Qt::AlignVCenter);
    }
    return label;
}

QFrame *makeFrame(QFrame::Shape shape, QWidget *parent)
{
    auto *frame = new QFrame(parent);
    frame->setFrameShape(shape);
    frame->setFrameShadow(QFrame::Sunken);
    return frame;
}

QTreeView *makeList(QWidget *parent)
{
    auto *view = new QTreeView(parent);
    view->setRootIsDecorated(false);
    view->setItemsExpandable(false);
    view->setUniformRowHeights(true);
    view->setAllColumnsShowFocus(true);
    view->setSortingEnabled(false);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setExpandsOnDoubleClick(false);
    view->setIconSize(Artwork::StatusImageSize);
    view->setTextElideMode(Qt::ElideRight);
    view->header()->setSectionsClickable(false);
    view->header()->setSectionsMovable(false);
    view->header()->setSortIndicatorShown(false);
    view->header()->setMinimumSectionSize(0);
    view->header()->setStretchLastSection(false);
    // The selection stays visible when the list loses the focus.
    QPalette palette = view->palette();
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    view->setPalette(palette);
    return view;
}

} // namespace

DialogBuilder::DialogBuilder(const DialogTemplate &dialogTemplate, QWidget *dialog)
    : m_units(DialogUnits::forFont(dialogFont(dialogTemplate)))
{
    dialog->setFont(dialogFont(dialogTemplate));
    dialog->setFixedSize(m_units.toPixels(dialogTemplate.size));
    for (const TemplateControl &entry : dialogTemplate.controls) {
        QWidget *widget = create(entry, dialog);
        widget->setObjectName(entry.name);
        widget->setProperty(ControlIdProperty, entry.id);
        if (!entry.accessibleName.isEmpty())
            widget->setAccessibleName(entry.accessibleName);
        if (!entry.accessibleDescription.isEmpty())
            widget->setAccessibleDescription(entry.accessibleDescription);
        widget->setFocusPolicy(entry.tabStop ? Qt::StrongFocus : Qt::NoFocus);
        widget->setVisible(!entry.hidden);
        m_all.append(widget);
        if (entry.id != -1)
            m_numbered.insert(entry.id, widget);
    }
    connectLabels(dialogTemplate);
    chainTabOrder(dialogTemplate);
}

QWidget *DialogBuilder::create(const TemplateControl &entry, QWidget *dialog)
{
    QRect geometry = m_units.toPixels(entry.rect);
    QWidget *widget = nullptr;
    switch (entry.kind) {
    case TemplateControl::Kind::Label:
        widget = makeLabel(entry, dialog, geometry.height());
        break;
    case TemplateControl::Kind::Button:
        widget = makeButton(entry, dialog);
        break;
    case TemplateControl::Kind::Edit:
        widget = new QLineEdit(dialog);
        break;
    case TemplateControl::Kind::Combo: {
        auto *combo = new QComboBox(dialog);
        combo->setEditable(false);
        geometry.setHeight(m_units.toPixelsY(ComboFieldHeight));
        widget = combo;
        break;
    }
    case TemplateControl::Kind::Check:
        widget = new QCheckBox(entry.caption, dialog);
        break;
    case TemplateControl::Kind::List:
        widget = makeList(dialog);
        break;
    case TemplateControl::Kind::Progress: {
        auto *bar = new QProgressBar(dialog);
        bar->setTextVisible(false);
        widget = bar;
        break;
    }
    case TemplateControl::Kind::Frame:
        widget = makeFrame(QFrame::Box, dialog);
        break;
    case TemplateControl::Kind::Line:
        widget = makeFrame(QFrame::HLine, dialog);
        geometry.setHeight(2);
        break;
    case TemplateControl::Kind::VerticalLine:
        widget = makeFrame(QFrame::VLine, dialog);
        geometry.setWidth(2);
        break;
    case TemplateControl::Kind::Panel:
        widget = makeFrame(QFrame::Panel, dialog);
        break;
    case TemplateControl::Kind::Image: {
        auto *image = new QLabel(dialog);
        image->setPixmap(Artwork::statusImage(entry.image, Artwork::LegendImageSize, image->devicePixelRatioF()));
        // A picture static takes the size of its bitmap.
        geometry.setSize(Artwork::LegendImageSize);
        widget = image;
        break;
    }
    }
    widget->setGeometry(geometry);
    widget->setProperty(TemplateGeometryProperty, geometry);
    return widget;
}

void DialogBuilder::connectLabels(const DialogTemplate &dialogTemplate)
{
    for (int i = 0; i < dialogTemplate.controls.size(); ++i) {
        const TemplateControl &entry = dialogTemplate.controls.at(i);
        auto *label = qobject_cast<QLabel *>(m_all.at(i));
        if (!label)
            continue;
        if (QWidget *buddy = m_numbered.value(entry.buddy))
            label->setBuddy(buddy);
        if (QWidget *described = m_numbered.value(entry.describes))
            label->setProperty(DescribesProperty, QVariant::fromValue<QObject *>(described));
        syncAccessibleTexts(label);
        fitLabel(label);
        if (entry.image >= 0 && entry.image < dialogTemplate.rowStatusNames.size())
            label->setAccessibleName(dialogTemplate.rowStatusNames.at(entry.image));
    }
}

void DialogBuilder::fitLabel(QWidget *widget)
{
    auto *label = qobject_cast<QLabel *>(widget);
    const QRect place = widget ? widget->property(TemplateGeometryProperty).toRect() : QRect();
    if (!label || label->wordWrap() || !label->pixmap().isNull() || place.isEmpty())
        return;
    // The layouts were drawn for a font whose letters run a little narrower
    // than ours: a text that does not fit grows away from the edge it is
    // aligned to, into the gap the layout leaves beside it.
    QRect fitted = place;
    const int frame = 2 * label->frameWidth();
    const int overflow = label->fontMetrics().horizontalAdvance(label->text()) + frame - place.width();
    if (overflow > 0) {
        if (label->alignment() & Qt::AlignRight)
            fitted.setLeft(place.left() - overflow);
        else if (label->alignment() & Qt::AlignHCenter)
            fitted.adjust(-(overflow + 1) / 2, 0, overflow / 2, 0);
        else
            fitted.setRight(place.right() + overflow);
        if (QWidget *parent = label->parentWidget())
            fitted = fitted.intersected(parent->rect());
    }
    label->setGeometry(fitted);
}

void DialogBuilder::syncAccessibleTexts(QWidget *widget)
{
    auto *label = qobject_cast<QLabel *>(widget);
    if (!label)
        return;
    if (label->buddy())
        label->buddy()->setAccessibleName(label->text());
    if (auto *described = qobject_cast<QWidget *>(label->property(DescribesProperty).value<QObject *>()))
        described->setAccessibleDescription(label->text());
}

void DialogBuilder::chainTabOrder(const DialogTemplate &dialogTemplate)
{
    QWidget *previous = nullptr;
    for (int i = 0; i < dialogTemplate.controls.size(); ++i) {
        if (!dialogTemplate.controls.at(i).tabStop)
            continue;
        if (previous)
            QWidget::setTabOrder(previous, m_all.at(i));
        previous = m_all.at(i);
    }
}
