#pragma once
// TTransparentMemo: a read-only, word-wrapped text pane without a background of its own, so the
// picture beneath shows around and between the letters. No scroll bars; the newest line is
// always in view; it never keeps the keyboard focus.
#include <QStringList>
#include <QWidget>

namespace balloon {

class TTransparentMemo : public QWidget {
    Q_OBJECT
public:
    explicit TTransparentMemo(QWidget* parent = nullptr);

    // Where the focus goes when the pane would take it.
    void setFocusTarget(QWidget* target) { focusTarget_ = target; }

    void setText(const QString& text);
    void appendLine(const QString& line);
    QString text() const { return lines_.join(QLatin1Char('\n')); }
    const QStringList& lines() const { return lines_; }
    // Pixels of text above the pane's top edge (scrolled out to keep the newest line in view).
    int scrollOffset() const;

signals:
    void entered();

protected:
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    int textHeight() const;
    QStringList lines_;
    QWidget* focusTarget_ = nullptr;
};

} // namespace balloon
