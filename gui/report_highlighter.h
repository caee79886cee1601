// Marks the warning lines of the report, so that they stand out from the
// hundreds of progress lines a build writes.
#pragma once

#include <QSyntaxHighlighter>

namespace pixmold {

class ReportHighlighter : public QSyntaxHighlighter {
 public:
  explicit ReportHighlighter(QTextDocument* document);

 protected:
  void highlightBlock(const QString& text) override;
};

}  // namespace pixmold
