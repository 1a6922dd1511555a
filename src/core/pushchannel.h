#pragma once

#include <QList>
#include <QString>

// Where announced tasks are also sent, to reach the user's phone: a group robot, an ntfy topic or a webhook.
struct PushChannel
{
    enum class Kind { WeCom, DingTalk, Feishu, Ntfy, Webhook };
    Kind kind = Kind::Webhook;
    QString url;    // the robot's webhook address, the ntfy server, or the webhook
    QString secret; // DingTalk's and Feishu's signing secret, ntfy's access token; empty: none
    QString topic;  // ntfy's topic
    bool enabled = true;
    bool ignoreQuiet = false; // sends during quiet hours too

    bool operator==(const PushChannel &o) const
    {
        return kind == o.kind && url == o.url && secret == o.secret && topic == o.topic && enabled == o.enabled &&
               ignoreQuiet == o.ignoreQuiet;
    }
};

// The kinds as stored ("wecom", "dingtalk", "feishu", "ntfy", "webhook"), in Kind's order.
inline constexpr const char *pushKindNames[] = {"wecom", "dingtalk", "feishu", "ntfy", "webhook"};
