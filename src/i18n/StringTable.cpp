#include "i18n/StringTable.h"

#include "platform/ProfileFile.h"
#include "platform/ProgramPaths.h"

#include <QFileInfo>
#include <QLocale>
#include <QLoggingCategory>
#include <QMetaObject>
#include <QMutex>
#include <QVariant>

#include <cstring>

Q_LOGGING_CATEGORY(lcStrings, "krnotify.i18n")

namespace {

const QString LanguageSection = QStringLiteral("LANGUAGE");
const QString English = QStringLiteral("EN");
constexpr int TextBufferChars = 1024;
constexpr int LanguageBufferChars = 260;
// Widths and precisions above this are refused: a text cannot ask for unbounded memory.
constexpr int MaxFieldWidth = 4096;

QMutex& instanceMutex()
{
    static QMutex m;
    return m;
}

std::unique_ptr<CStringTable>& instanceSlot()
{
    static std::unique_ptr<CStringTable> table;
    return table;
}

// The file's escapes, in this order: a doubled backslash first, then \t, \r and \n. So a
// doubled backslash followed by t, r or n still ends as a control character.
QString replaceEscapes(QString text)
{
    text.replace(QStringLiteral("\\\\"), QStringLiteral("\\"));
    text.replace(QStringLiteral("\\t"), QStringLiteral("\t"));
    text.replace(QStringLiteral("\\r"), QStringLiteral("\r"));
    text.replace(QStringLiteral("\\n"), QStringLiteral("\n"));
    return text;
}

bool oneOf(const char* set, char c)
{
    return c != 0 && std::strchr(set, c) != nullptr;
}

// One printf conversion: %[flags][width][.precision][length]type.
struct Conversion
{
    QString flags;
    int width = -1;
    int precision = -1;
    int bits = 32; // integer width chosen by the length modifier
    char type = 0;

    TextArg::Kind kind() const
    {
        if (oneOf("diuxXoc", type))
            return TextArg::Kind::Integer;
        if (oneOf("eEfgG", type))
            return TextArg::Kind::Real;
        return TextArg::Kind::Text;
    }
};

// Reads a decimal field at text[i]; false when it exceeds MaxFieldWidth.
bool readNumber(QStringView text, qsizetype& i, int& value)
{
    value = 0;
    while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') {
        value = value * 10 + (text[i].unicode() - u'0');
        if (value > MaxFieldWidth)
            return false;
        ++i;
    }
    return true;
}

// Parses the conversion after the '%' at text[i - 1]; i ends after its type character.
// False for anything this formatter does not accept ('*', %n, %p, unknown types, huge widths).
bool parseConversion(QStringView text, qsizetype& i, Conversion& c)
{
    const qsizetype n = text.size();
    while (i < n && QStringView(u"-+ 0#").contains(text[i]))
        c.flags += text[i++];
    if (i < n && text[i] >= u'0' && text[i] <= u'9' && !readNumber(text, i, c.width))
        return false;
    if (i < n && text[i] == u'.') {
        ++i;
        if (!readNumber(text, i, c.precision))
            return false;
    }
    static const struct
    {
        const char16_t* text;
        int bits;
    } lengths[] = {{u"hh", 8},   {u"h", 16}, {u"ll", 64}, {u"l", 32}, {u"L", 64}, {u"I64", 64},
                   {u"I32", 32}, {u"I", 64}, {u"w", 32},  {u"j", 64}, {u"z", 64}, {u"t", 64}};
    for (const auto& length : lengths) {
        if (text.mid(i).startsWith(QStringView(length.text))) {
            c.bits = length.bits;
            i += QStringView(length.text).size();
            break;
        }
    }
    if (i >= n || text[i].unicode() > 0x7f || !oneOf("diuxXoceEfgGsS", char(text[i].unicode())))
        return false;
    c.type = char(text[i++].unicode());
    return true;
}

QString pad(const QString& content, const Conversion& c)
{
    if (content.size() >= c.width)
        return content;
    const QString fill(c.width - content.size(), u' ');
    return c.flags.contains(u'-') ? content + fill : fill + content;
}

QByteArray printfSpec(const Conversion& c, const char* length)
{
    QByteArray spec = '%' + c.flags.toLatin1();
    if (c.width >= 0)
        spec += QByteArray::number(c.width);
    if (c.precision >= 0)
        spec += '.' + QByteArray::number(c.precision);
    return spec + length + c.type;
}

QString formatInteger(const Conversion& c, long long value)
{
    const int shift = 64 - c.bits;
    if (c.type == 'c') {
        const char16_t code = char16_t(value & 0xffff);
        return pad(code ? QString(QChar(code)) : QString(), c);
    }
    if (c.type == 'd' || c.type == 'i') {
        // Sign-extend from the conversion's width, as a 32-bit printf would read the value.
        const long long narrowed = (long long)((unsigned long long)value << shift) >> shift;
        return QString::asprintf(printfSpec(c, "ll").constData(), narrowed);
    }
    const unsigned long long narrowed =
        shift ? (unsigned long long)value << shift >> shift : (unsigned long long)value;
    return QString::asprintf(printfSpec(c, "ll").constData(), narrowed);
}

QString formatOne(const Conversion& c, const TextArg& arg)
{
    switch (arg.kind()) {
    case TextArg::Kind::Integer:
        return formatInteger(c, arg.integer());
    case TextArg::Kind::Real:
        return QString::asprintf(printfSpec(c, "").constData(), arg.real());
    case TextArg::Kind::Text:
        return pad(c.precision >= 0 ? arg.text().left(c.precision) : arg.text(), c);
    }
    return {};
}

// printf-style formatting that never trusts the text: when a conversion is malformed, or its
// argument is missing or of another kind, the text is returned as it stands. Arguments beyond
// the last conversion are ignored, as printf does.
QString format(const QString& text, const QList<TextArg>& args)
{
    QString out;
    out.reserve(text.size());
    qsizetype argIndex = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n;) {
        const qsizetype percent = text.indexOf(u'%', i);
        if (percent < 0) {
            out += QStringView(text).mid(i);
            break;
        }
        out += QStringView(text).mid(i, percent - i);
        i = percent + 1;
        if (i < n && text[i] == u'%') {
            out += u'%';
            ++i;
            continue;
        }
        Conversion c;
        if (!parseConversion(text, i, c) || argIndex >= args.size() ||
            args[argIndex].kind() != c.kind()) {
            qCWarning(lcStrings) << "text does not match its arguments, shown unformatted:" << text;
            return text;
        }
        out += formatOne(c, args[argIndex++]);
    }
    return out;
}

bool inheritsClass(const QObject* object, const char* className)
{
    for (const QMetaObject* meta = object->metaObject(); meta; meta = meta->superClass()) {
        if (qstrcmp(meta->className(), className) == 0)
            return true;
    }
    return false;
}

struct LocaleLanguage
{
    QLocale::Language language;
    QLocale::Territory territory;
    quint16 languageId;
};

// Windows language identifiers of common locales; the first row of a language is its default.
const LocaleLanguage localeLanguages[] = {
    {QLocale::English, QLocale::UnitedStates, 0x0409},
    {QLocale::English, QLocale::UnitedKingdom, 0x0809},
    {QLocale::English, QLocale::Australia, 0x0c09},
    {QLocale::English, QLocale::Canada, 0x1009},
    {QLocale::Chinese, QLocale::Taiwan, 0x0404},
    {QLocale::Chinese, QLocale::China, 0x0804},
    {QLocale::Chinese, QLocale::HongKong, 0x0c04},
    {QLocale::Chinese, QLocale::Singapore, 0x1004},
    {QLocale::Chinese, QLocale::Macao, 0x1404},
    {QLocale::Hebrew, QLocale::Israel, 0x040d},
    {QLocale::Arabic, QLocale::SaudiArabia, 0x0401},
    {QLocale::Arabic, QLocale::Egypt, 0x0c01},
    {QLocale::Arabic, QLocale::UnitedArabEmirates, 0x3801},
    {QLocale::German, QLocale::Germany, 0x0407},
    {QLocale::German, QLocale::Switzerland, 0x0807},
    {QLocale::German, QLocale::Austria, 0x0c07},
    {QLocale::French, QLocale::France, 0x040c},
    {QLocale::French, QLocale::Belgium, 0x080c},
    {QLocale::French, QLocale::Canada, 0x0c0c},
    {QLocale::French, QLocale::Switzerland, 0x100c},
    {QLocale::Spanish, QLocale::Spain, 0x0c0a},
    {QLocale::Spanish, QLocale::Mexico, 0x080a},
    {QLocale::Japanese, QLocale::Japan, 0x0411},
    {QLocale::Korean, QLocale::SouthKorea, 0x0412},
    {QLocale::Italian, QLocale::Italy, 0x0410},
    {QLocale::Dutch, QLocale::Netherlands, 0x0413},
    {QLocale::Portuguese, QLocale::Brazil, 0x0416},
    {QLocale::Portuguese, QLocale::Portugal, 0x0816},
    {QLocale::Russian, QLocale::Russia, 0x0419},
    {QLocale::Polish, QLocale::Poland, 0x0415},
    {QLocale::Czech, QLocale::CzechRepublic, 0x0405},
    {QLocale::Turkish, QLocale::Turkey, 0x041f},
    {QLocale::Thai, QLocale::Thailand, 0x041e},
    {QLocale::Vietnamese, QLocale::Vietnam, 0x042a},
    {QLocale::Indonesian, QLocale::Indonesia, 0x0421},
    {QLocale::Persian, QLocale::Iran, 0x0429},
    {QLocale::Swedish, QLocale::Sweden, 0x041d},
    {QLocale::Ukrainian, QLocale::Ukraine, 0x0422},
};

quint16 languageIdFromEnvironment(bool& ok)
{
    ok = false;
    const QString value = qEnvironmentVariable("KRNOTIFY_LANGID");
    return value.isEmpty() ? 0 : value.toUShort(&ok, 0);
}

} // namespace

CStringTable::CStringTable(const QString& filePath, quint16 languageId) : m_filePath(filePath)
{
    if (!QFileInfo::exists(filePath))
        qCWarning(lcStrings) << "string table not found, every text is empty:" << filePath;
    const QString key = QString::asprintf("0x%04x", languageId);
    m_languageCode =
        ProfileFile::readString(filePath, LanguageSection, key, English, LanguageBufferChars)
            .left(2);
    // An entry written empty would leave no language at all: English, as for a missing entry.
    if (m_languageCode.trimmed().isEmpty())
        m_languageCode = English;
    m_rightToLeft = ProfileFile::readInt(filePath, LanguageSection, m_languageCode, 0);
}

CStringTable& CStringTable::Instance()
{
    QMutexLocker lock(&instanceMutex());
    auto& slot = instanceSlot();
    if (!slot) {
        bool fromEnvironment = false;
        quint16 languageId = languageIdFromEnvironment(fromEnvironment);
        if (!fromEnvironment)
            languageId = languageIdForLocale(QLocale::system().name());
        slot = std::make_unique<CStringTable>(
            ProgramPaths::resourceFile(QStringLiteral("KRNotify.StringTable")), languageId);
    }
    return *slot;
}

void CStringTable::Install(std::unique_ptr<CStringTable> table)
{
    QMutexLocker lock(&instanceMutex());
    instanceSlot() = std::move(table);
}

quint16 CStringTable::languageIdForLocale(const QString& localeName)
{
    // "zh_TW.UTF-8" and "de_DE@euro" name the locale before the '.' or '@'.
    QString name = localeName;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (name[i] == u'.' || name[i] == u'@') {
            name.truncate(i);
            break;
        }
    }
    const QLocale locale(name);
    const LocaleLanguage* languageDefault = nullptr;
    for (const LocaleLanguage& row : localeLanguages) {
        if (row.language != locale.language())
            continue;
        if (row.territory == locale.territory())
            return row.languageId;
        if (!languageDefault)
            languageDefault = &row;
    }
    if (locale.language() == QLocale::Chinese)
        return locale.script() == QLocale::TraditionalChineseScript ? 0x0404 : 0x0804;
    return languageDefault ? languageDefault->languageId : 0x0409;
}

QString CStringTable::GetText(const QString& key, const QList<TextArg>& args) const
{
    QString text =
        ProfileFile::readString(m_filePath, key, m_languageCode, QString(), TextBufferChars);
    if (text.isEmpty() && m_languageCode.compare(English, Qt::CaseInsensitive) != 0)
        text = ProfileFile::readString(m_filePath, key, English, QString(), TextBufferChars);
    return format(replaceEscapes(text), args);
}

// Dialogs, main windows and QWindows get their title; controls and actions their "text"; group
// boxes and menus their "title"; any other widget its window title.
void CStringTable::SetItemText(QObject* item, const QString& key, const QList<TextArg>& args) const
{
    if (!item)
        return;
    const QString text = GetText(key, args);
    const char* property = nullptr;
    if (item->isWindowType())
        property = "title";
    else if (item->isWidgetType() &&
             (inheritsClass(item, "QDialog") || inheritsClass(item, "QMainWindow")))
        property = "windowTitle";
    else if (item->metaObject()->indexOfProperty("text") >= 0)
        property = "text";
    else if (item->metaObject()->indexOfProperty("title") >= 0)
        property = "title";
    else if (item->isWidgetType())
        property = "windowTitle";
    if (!property || !item->setProperty(property, text))
        qCWarning(lcStrings) << "cannot set a text on" << item << "for" << key;
}
