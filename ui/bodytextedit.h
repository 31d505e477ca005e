#pragma once
// The body text box (rtxtWord) of both windows. In the issue a line break
// inside a body is CR LF; the text widget works with its own paragraph
// separators. body()/setBody() are the one place where the two meet.

#include <QPlainTextEdit>
#include <QString>

namespace brevix {

// Body text as the issue keeps it -> text for the widget, and back.
QString BodyToWidgetText(const QString& body);
QString BodyFromWidgetText(const QString& text);

class BodyTextEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit BodyTextEdit(QWidget* parent = nullptr);

    QString body() const;
    void setBody(const QString& body);

signals:
    void doubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

} // namespace brevix
