#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <memory>

// One argument of a printf-style text from the string table.
class TextArg
{
public:
    enum class Kind { Integer, Real, Text };

    TextArg(int v) : m_kind(Kind::Integer), m_int(v) {}
    TextArg(unsigned v) : m_kind(Kind::Integer), m_int(v) {}
    TextArg(long v) : m_kind(Kind::Integer), m_int(v) {}
    TextArg(long long v) : m_kind(Kind::Integer), m_int(v) {}
    TextArg(unsigned long v) : m_kind(Kind::Integer), m_int(static_cast<long long>(v)) {}
    TextArg(double v) : m_kind(Kind::Real), m_real(v) {}
    TextArg(const QString& v) : m_kind(Kind::Text), m_text(v) {}
    TextArg(const char* v) : m_kind(Kind::Text), m_text(QString::fromUtf8(v)) {}

    Kind kind() const { return m_kind; }
    long long integer() const { return m_int; }
    double real() const { return m_real; }
    const QString& text() const { return m_text; }

private:
    Kind m_kind;
    long long m_int = 0;
    double m_real = 0.0;
    QString m_text;
};

// The process-wide table of every visible text, read from "KRNotify.StringTable" beside the
// program. The language is fixed when the table is created; texts are looked up by key.
class CStringTable
{
public:
    // filePath: the string-table file; languageId: the Windows 16-bit LANGID of the user's
    // language (see languageIdForLocale).
    CStringTable(const QString& filePath, quint16 languageId);

    // The process-wide table. Created on first use from the program folder and the system
    // locale unless one was installed before.
    static CStringTable& Instance();
    // Replaces the process-wide table (start-up, tests).
    static void Install(std::unique_ptr<CStringTable> table);
    // The Windows LANGID for a locale name such as "zh_TW"; 0x0409 when unknown.
    static quint16 languageIdForLocale(const QString& localeName);

    QString GetText(const QString& key, const QList<TextArg>& args = {}) const;
    // Sets the looked-up text on item (a widget, action or any object with a "text" property;
    // windows get their title). Does nothing when item is null.
    void SetItemText(QObject* item, const QString& key, const QList<TextArg>& args = {}) const;

    QString LanguageCode() const { return m_languageCode; }
    int RightToLeft() const { return m_rightToLeft; }
    QString filePath() const { return m_filePath; }

private:
    QString m_filePath;
    QString m_languageCode;
    int m_rightToLeft = 0;
};
