#include "ui/bodytextedit.h"

#include <QTextDocument>

namespace brevix {

QString BodyToWidgetText(const QString& body)
{
    // A lone CR (only from a hand-made file) is shown as a break too.
    QString text = body;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

QString BodyFromWidgetText(const QString& text)
{
    QString body = text;
    body.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    body.replace(QChar::LineSeparator, QLatin1Char('\n'));
    body.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return body;
}

BodyTextEdit::BodyTextEdit(QWidget* parent) : QPlainTextEdit(parent)
{
    // Tab moves on to the next control, as in the other boxes.
    setTabChangesFocus(true);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
}

// The raw text: the plain-text export turns no-break spaces into spaces.
QString BodyTextEdit::body() const { return BodyFromWidgetText(document()->toRawText()); }

void BodyTextEdit::setBody(const QString& body) { setPlainText(BodyToWidgetText(body)); }

void BodyTextEdit::mouseDoubleClickEvent(QMouseEvent* event)
{
    QPlainTextEdit::mouseDoubleClickEvent(event);
    emit doubleClicked();
}

} // namespace brevix
