#include "report_highlighter.h"

#include <QColor>
#include <QTextCharFormat>

#include "app/report_warnings.h"

namespace pixmold {

ReportHighlighter::ReportHighlighter(QTextDocument* document) : QSyntaxHighlighter(document) {}

void ReportHighlighter::highlightBlock(const QString& text) {
  if (!IsWarningLine(text.toStdString())) return;
  QTextCharFormat warning;
  warning.setBackground(QColor(0xff, 0xe8, 0xa0));
  warning.setForeground(QColor(0x60, 0x38, 0x00));
  setFormat(0, static_cast<int>(text.size()), warning);
}

}  // namespace pixmold
