#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

class QCheckBox;
class QLabel;
class TImageButton;
class TLinkButton;

// One site's page in the attention window: logo, register link, description and a check box per node.
class SiteView : public QWidget
{
    Q_OBJECT

public:
    explicit SiteView(QWidget *parent);

    void setLogo(const QPixmap &logo);
    // A plain logo for a site whose catalogue has none: its first character in a circle, then its name.
    static QPixmap placeholderLogo(const QString &siteName);
    // Creates the node boxes, ticking the followed ones; without a user database the page gets no boxes.
    void setNodes(const QString &siteName, const QStringList &nodeNames);
    QStringList selectedNodes() const;
    // False when the page could not show its nodes' state (the user database did not open).
    bool isComplete() const { return complete; }
    // Shows the links that edit and remove a site of the user's own.
    void setOwnSite();

    QString siteUrl;
    TLinkButton *registerLink;
    QLabel *infoLabel;

    // Ticks or clears the box of node, as the user would.
    void setNodeChecked(const QString &node, bool checked);

signals:
    void editSite();
    void removeSite();
    // The user ticked or cleared a node's box.
    void nodeClicked(const QString &node, bool checked);

public slots:
    void onClickedLogo();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    TImageButton *logoButton = nullptr;
    QList<QCheckBox *> nodeBoxes;
    bool complete = true;
};
