// The help window: the program's Japanese HTML help pages (built into the program), one topic
// per help context number, shown in a browser window with links between the topics.
#pragma once

#include <QTextBrowser>
#include <QWidget>

namespace qvr {

class HelpViewer : public QWidget {
 public:
  HelpViewer();
  // Shows the topic of a context number (the contents for a number without a topic).
  void Open(int context);
  // The resource of a topic, and whether the number has one.
  static QString TopicUrl(int context);
  static bool HasTopic(int context);

  QTextBrowser* Browser;
};

}  // namespace qvr
