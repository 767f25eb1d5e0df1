#include "DialogTemplate.h"

#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

namespace {

const QHash<QString, TemplateControl::Kind> &kindNames()
{
    static const QHash<QString, TemplateControl::Kind> names{
        {QStringLiteral("label"), TemplateControl::Kind::Label},
        {QStringLiteral("button"), TemplateControl::Kind::Button},
        {QStringLiteral("edit"), TemplateControl::Kind::Edit},
        {QStringLiteral("combo"), TemplateControl::Kind::Combo},
        {QStringLiteral("check"), TemplateControl::Kind::Check},
        {QStringLiteral("list"), TemplateControl::Kind::List},
        {QStringLiteral("progress"), TemplateControl::Kind::Progress},
        {QStringLiteral("frame"), TemplateControl::Kind::Frame},
        {QStringLiteral("line"), TemplateControl::Kind::Line},
        {QStringLiteral("vline"), TemplateControl::Kind::VerticalLine},
        {QStringLiteral("panel"), TemplateControl::Kind::Panel},
        {QStringLiteral("image"), TemplateControl::Kind::Image},
    };
    return names;
}

std::optional<QRect> readRect(const QJsonValue &value)
{
    const QJsonArray numbers = value.toArray();
    if (numbers.size() != 4)
        return std::nullopt;
    for (const QJsonValue &number : numbers) {
        if (!number.isDouble() || number.toInt(-1) < 0)
            return std::nullopt;
    }
    return QRect(numbers[0].toInt(), numbers[1].toInt(), numbers[2].toInt(), numbers[3].toInt());
}

QString languageText(const QJsonValue &value, UiLanguage language)
{
    return value.toObject().value(language == UiLanguage::German ? QLatin1String("de") : QLatin1String("en")).toString();
}

Qt::Alignment readAlignment(const QString &text)
{
    if (text == QLatin1String("right"))
        return Qt::AlignRight;
    if (text == QLatin1String("center"))
        return Qt::AlignHCenter;
    return Qt::AlignLeft;
}

bool fail(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return false;
}

bool readControl(const QJsonObject &object, UiLanguage language, TemplateControl &control, QString *error)
{
    control.id = object.value(QLatin1String("id")).toInt(-1);
    control.name = object.value(QLatin1String("name")).toString();
    const QString kind = object.value(QLatin1String("kind")).toString();
    if (control.name.isEmpty() || !kindNames().contains(kind))
        return fail(error, QStringLiteral("control %1 has no name or an unknown kind").arg(control.id));
    control.kind = kindNames().value(kind);

    const QLatin1String germanRect("rectDe");
    const bool german = language == UiLanguage::German && object.contains(germanRect);
    const std::optional<QRect> rect = readRect(object.value(german ? germanRect : QLatin1String("rect")));
    if (!rect)
        return fail(error, QStringLiteral("control %1 has no valid position").arg(control.name));
    control.rect = *rect;

    const QString languageKey = language == UiLanguage::German ? QStringLiteral("de") : QStringLiteral("en");
    control.caption = object.value(languageKey).toString();
    control.accessibleName = languageText(object.value(QLatin1String("accessibleName")), language);
    control.accessibleDescription = languageText(object.value(QLatin1String("accessibleDescription")), language);
    control.alignment = readAlignment(object.value(QLatin1String("align")).toString());
    control.buddy = object.value(QLatin1String("buddy")).toInt(0);
    control.describes = object.value(QLatin1String("describes")).toInt(0);
    control.icon = object.value(QLatin1String("icon")).toInt(0);
    control.image = object.value(QLatin1String("image")).toInt(-1);

    const QJsonArray flags = object.value(QLatin1String("flags")).toArray();
    for (const QJsonValue &flag : flags) {
        const QString text = flag.toString();
        if (text == QLatin1String("hidden"))
            control.hidden = true;
        else if (text == QLatin1String("tabstop"))
            control.tabStop = true;
        else if (text == QLatin1String("default"))
            control.isDefault = true;
        else if (text == QLatin1String("sorted"))
            control.sorted = true;
        else if (text == QLatin1String("sunken"))
            control.sunken = true;
        else
            return fail(error, QStringLiteral("control %1 has the unknown flag %2").arg(control.name, text));
    }
    return true;
}

} // namespace

const TemplateControl *DialogTemplate::find(int id) const
{
    for (const TemplateControl &control : controls) {
        if (control.id == id)
            return &control;
    }
    return nullptr;
}

std::optional<DialogTemplate> DialogTemplate::load(const QString &resourcePath, UiLanguage language,
                                                   QString *error)
{
    QFile file(resourcePath);
    if (!file.open(QIODevice::ReadOnly)) {
        fail(error, QStringLiteral("cannot open %1").arg(resourcePath));
        return std::nullopt;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (!document.isObject()) {
        fail(error, parseError.errorString());
        return std::nullopt;
    }
    const QJsonObject root = document.object();

    DialogTemplate result;
    result.templateId = root.value(QLatin1String("template")).toInt();
    result.caption = languageText(root.value(QLatin1String("caption")), language);
    const QJsonArray size = root.value(QLatin1String("size")).toArray();
    result.size = QSize(size.at(0).toInt(), size.at(1).toInt());
    const QJsonObject font = root.value(QLatin1String("font")).toObject();
    result.fontFamily = font.value(QLatin1String("family")).toString();
    result.fontPixelSize = font.value(QLatin1String("pixelSize")).toInt();
    if (result.size.isEmpty() || result.fontFamily.isEmpty() || result.fontPixelSize <= 0) {
        fail(error, QStringLiteral("template size or font missing"));
        return std::nullopt;
    }

    const QJsonArray statusNames = root.value(QLatin1String("rowStatusNames")).toArray();
    for (const QJsonValue &name : statusNames)
        result.rowStatusNames.append(languageText(name, language));

    QSet<int> numbers;
    QSet<QString> names;
    const QJsonArray controls = root.value(QLatin1String("controls")).toArray();
    for (const QJsonValue &value : controls) {
        TemplateControl control;
        if (!readControl(value.toObject(), language, control, error))
            return std::nullopt;
        if ((control.id != -1 && numbers.contains(control.id)) || names.contains(control.name)) {
            fail(error, QStringLiteral("control %1 appears twice").arg(control.name));
            return std::nullopt;
        }
        numbers.insert(control.id);
        names.insert(control.name);
        result.controls.append(control);
    }
    return result;
}
