<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>AboutWindow</name>
    <message>
        <source>Kestrow - 关于</source>
        <translation>Kestrow - About</translation>
    </message>
    <message>
        <source>Kestrow v%1 开源版</source>
        <translation>Kestrow v%1 (open source)</translation>
    </message>
    <message>
        <source>问题及反馈请 </source>
        <translation>Feedback: </translation>
    </message>
    <message>
        <source>点击这里</source>
        <translation>click here</translation>
    </message>
    <message>
        <source>特别感谢: </source>
        <translation>Thanks to: </translation>
    </message>
    <message>
        <source>Qt 与 SQLite</source>
        <translation>Qt and SQLite</translation>
    </message>
    <message>
        <source>来自作者的消息: </source>
        <translation>From the author:</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
</context>
<context>
    <name>AddSiteWindow</name>
    <message>
        <source>Kestrow - 添加站点</source>
        <translation>Kestrow - Add site</translation>
    </message>
    <message>
        <source>任务列表页地址:</source>
        <translation>Task list address:</translation>
    </message>
    <message>
        <source>https://… 任务列表页，或 RSS/Atom 订阅源</source>
        <translation>https://… a task list page, or an RSS/Atom feed</translation>
    </message>
    <message>
        <source>使用订阅源</source>
        <translation>Use the feed</translation>
    </message>
    <message>
        <source>示例任务标题:</source>
        <translation>Example task title:</translation>
    </message>
    <message>
        <source>照浏览器中看到的样子，填写页面上任意一个任务的标题</source>
        <translation>Any task&apos;s title on the page, as the browser shows it</translation>
    </message>
    <message>
        <source>示例价格(可选):</source>
        <translation>Price (optional):</translation>
    </message>
    <message>
        <source>站点名称:</source>
        <translation>Site name:</translation>
    </message>
    <message>
        <source>节点名称:</source>
        <translation>Node:</translation>
    </message>
    <message>
        <source>预览</source>
        <translation>Preview</translation>
    </message>
    <message>
        <source>任务</source>
        <translation>Task</translation>
    </message>
    <message>
        <source>价格</source>
        <translation>Price</translation>
    </message>
    <message>
        <source>地址</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Kestrow - 编辑站点</source>
        <translation>Kestrow - Edit site</translation>
    </message>
    <message>
        <source>找不到站点 %1 的文件</source>
        <translation>Cannot find the file of site %1</translation>
    </message>
    <message>
        <source>订阅源。修改后点“预览”。</source>
        <translation>Feed. Click “Preview” after changing it.</translation>
    </message>
    <message>
        <source>填写一个示例任务标题后点“预览”。</source>
        <translation>Enter an example task title, then click “Preview”.</translation>
    </message>
    <message>
        <source>请填写以 http:// 或 https:// 开头的地址</source>
        <translation>Enter an address starting with http:// or https://</translation>
    </message>
    <message>
        <source>正在获取页面…</source>
        <translation>Fetching the page…</translation>
    </message>
    <message>
        <source>页面超过 16 MiB，Kestrow 不会读取它</source>
        <translation>The page is larger than 16 MiB; Kestrow will not read it</translation>
    </message>
    <message>
        <source>网站没有及时回应，请稍后再试</source>
        <translation>The site did not answer in time; please try again later</translation>
    </message>
    <message>
        <source>无法获取页面: %1</source>
        <translation>Cannot fetch the page: %1</translation>
    </message>
    <message>
        <source>页面被转到了另一个地址，请改用它: %1</source>
        <translation>The page redirects to another address; please use that one: %1</translation>
    </message>
    <message>
        <source>这是一个订阅源，但其中没有任务</source>
        <translation>This is a feed, but it holds no tasks</translation>
    </message>
    <message>
        <source>订阅源，共 %1 个任务。</source>
        <translation>A feed with %1 task(s).</translation>
    </message>
    <message>
        <source>此页面提供订阅源: %1</source>
        <translation>Page has a feed: %1</translation>
    </message>
    <message>
        <source>请填写一个在页面上看到的任务标题</source>
        <translation>Enter the title of a task you see on the page</translation>
    </message>
    <message>
        <source>请填写一个在页面上看到的任务标题，或使用页面提供的订阅源</source>
        <translation>Enter the title of a task you see on the page, or use the page&apos;s feed</translation>
    </message>
    <message>
        <source>在示例任务那一行里找不到这个价格。请照页面上显示的样子填写，或者不填。</source>
        <translation>This price is not in the example task&apos;s row. Enter it as the page shows it, or leave it empty.</translation>
    </message>
    <message>
        <source>页面上找不到这个标题。请照浏览器中显示的样子填写（网站可能要求登录，或任务由脚本载入）。</source>
        <translation>This title is not on the page. Enter it as the browser shows it (the site may require a login, or load its tasks by script).</translation>
    </message>
    <message>
        <source>找到了这个标题，但找不到能同时切出它和其他任务的标记。请换一个示例试试。</source>
        <translation>Found the title, but no markers that cut out both it and the other tasks. Try another example.</translation>
    </message>
    <message>
        <source>共 %1 个任务。</source>
        <translation>%1 task(s) found.</translation>
    </message>
    <message>
        <source>请填写站点名称和节点名称</source>
        <translation>Enter a site name and a node name</translation>
    </message>
    <message>
        <source>无法保存: %1</source>
        <translation>Cannot save: %1</translation>
    </message>
</context>
<context>
    <name>AlertWindow</name>
    <message>
        <source>Kestrow - 提醒设置</source>
        <translation>Kestrow - Alert rules</translation>
    </message>
    <message>
        <source>标题含以下任一词才提醒:</source>
        <translation>Alert only for titles containing any of:</translation>
    </message>
    <message>
        <source>不限; 多个词用空格或逗号隔开</source>
        <translation>No limit; split words by spaces or commas</translation>
    </message>
    <message>
        <source>标题含以下任一词不提醒:</source>
        <translation>Never alert for titles containing any of:</translation>
    </message>
    <message>
        <source>不限</source>
        <translation>No limit</translation>
    </message>
    <message>
        <source>最低预算:</source>
        <translation>Min. budget:</translation>
    </message>
    <message>
        <source> 元</source>
        <translation> yuan</translation>
    </message>
    <message>
        <source>免打扰:</source>
        <translation>Quiet:</translation>
    </message>
    <message>
        <source>用桌面通知代替弹窗</source>
        <translation>Use desktop notifications, not pop-ups</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>推送到手机…</source>
        <translation>Phone pushes…</translation>
    </message>
</context>
<context>
    <name>ConfigWindow</name>
    <message>
        <source>Kestrow - 设置</source>
        <translation>Kestrow - Settings</translation>
    </message>
    <message>
        <source>开机启动</source>
        <translation>Autostart</translation>
    </message>
    <message>
        <source>播放提示声音</source>
        <translation>Play alert sound</translation>
    </message>
    <message>
        <source>任务更新时间:</source>
        <translation>Check every:</translation>
    </message>
    <message>
        <source>快速 - 30 秒</source>
        <translation>Fast - 30 sec</translation>
    </message>
    <message>
        <source>较快 - 1分钟</source>
        <translation>Faster - 1 min</translation>
    </message>
    <message>
        <source>默认 - 3分钟</source>
        <translation>Default - 3 min</translation>
    </message>
    <message>
        <source>自动删除早于此时间的历史任务:</source>
        <translation>Delete history older than:</translation>
    </message>
    <message>
        <source>天</source>
        <translation>d</translation>
    </message>
    <message>
        <source>界面字体:</source>
        <translation>Font:</translation>
    </message>
    <message>
        <source>默认</source>
        <translation>Reset</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>提醒设置...</source>
        <translation>Alerts...</translation>
    </message>
    <message>
        <source>跟随系统</source>
        <translation>System</translation>
    </message>
</context>
<context>
    <name>DesktopNotifier</name>
    <message>
        <source>…共 %1 个新任务</source>
        <translation>…%1 new tasks in all</translation>
    </message>
    <message>
        <source>%1 个新任务</source>
        <translation>%1 new tasks</translation>
    </message>
    <message>
        <source>打开</source>
        <translation>Open</translation>
    </message>
</context>
<context>
    <name>HistoryModel</name>
    <message>
        <source>无</source>
        <translation>none</translation>
    </message>
    <message>
        <source>地址</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>网 站</source>
        <translation>Site</translation>
    </message>
    <message>
        <source>任务类型</source>
        <translation>Task type</translation>
    </message>
    <message>
        <source>任 务</source>
        <translation>Task</translation>
    </message>
    <message>
        <source>价 格</source>
        <translation>Price</translation>
    </message>
    <message>
        <source>发现时间</source>
        <translation>Found at</translation>
    </message>
</context>
<context>
    <name>HistoryWindow</name>
    <message>
        <source>Kestrow - 历史任务</source>
        <translation>Kestrow - History</translation>
    </message>
    <message>
        <source>网站:</source>
        <translation>Site:</translation>
    </message>
    <message>
        <source>所有网站</source>
        <translation>All sites</translation>
    </message>
    <message>
        <source>导出…</source>
        <translation>Export…</translation>
    </message>
    <message>
        <source>搜索任务</source>
        <translation>Search tasks</translation>
    </message>
    <message>
        <source>导出历史任务</source>
        <translation>Export history</translation>
    </message>
    <message>
        <source>CSV 文件 (*.csv)</source>
        <translation>CSV files (*.csv)</translation>
    </message>
    <message>
        <source>无法写入 %1</source>
        <translation>Cannot write %1</translation>
    </message>
</context>
<context>
    <name>Kestrow</name>
    <message>
        <source>自定义站点未载入</source>
        <translation>Own sites not loaded</translation>
    </message>
    <message>
        <source>这些站点文件有错误, 未载入: %1
“kestrow-catalog add 文件”会说明原因</source>
        <translation>These site files have errors and were not loaded: %1
“kestrow-catalog add FILE” tells why</translation>
    </message>
    <message>
        <source>单击此图标可以暂停和开始任务监控</source>
        <translation>Click this icon to pause or resume watching for tasks</translation>
    </message>
    <message>
        <source>更多问题及反馈请见程序关于窗口</source>
        <translation>For questions and feedback, see the About window</translation>
    </message>
    <message>
        <source>祝您使用愉快!</source>
        <translation>Enjoy!</translation>
    </message>
    <message>
        <source>还没有任何站点: 在“关注任务”窗口中点“添加站点…”, 贴入任务列表页的地址和其中一个任务的标题</source>
        <translation>No sites yet: in the “Follow tasks” window, click “Add site…” and paste the address of a task list page and the title of one of its tasks</translation>
    </message>
    <message>
        <source>还没有关注任何节点: 双击此图标打开“关注任务”, 勾选想关注的任务类型后关闭窗口</source>
        <translation>Not following any node yet: double-click this icon to open “Follow tasks”, tick the task types to follow, then close the window</translation>
    </message>
    <message>
        <source>欢迎使用Kestrow</source>
        <translation>Welcome to Kestrow</translation>
    </message>
    <message>
        <source>删除站点</source>
        <translation>Remove site</translation>
    </message>
    <message>
        <source>删除站点“%1”？
已关注的节点会被记住，站点再次添加时继续关注。</source>
        <translation>Remove the site “%1”?
Its followed nodes are remembered and followed again if the site is added back.</translation>
    </message>
    <message>
        <source>关注节点异常</source>
        <translation>Problem with a followed node</translation>
    </message>
    <message>
        <source>数据无法保存</source>
        <translation>Data cannot be saved</translation>
    </message>
    <message>
        <source>无法监控任务</source>
        <translation>Cannot watch for tasks</translation>
    </message>
    <message>
        <source>程序更新</source>
        <translation>Update</translation>
    </message>
    <message>
        <source>发现新版本[Kestrow v%1]是否现在进行更新?
PS:程序将会在后台自动下载更新,建议选择&apos;是&apos;.</source>
        <translation>A new version [Kestrow v%1] is available. Update now?
PS: The update is downloaded in the background; choosing &apos;Yes&apos; is recommended.</translation>
    </message>
    <message>
        <source>更新包已下载, 但没有程序能打开它, 请手动安装: %1</source>
        <translation>The update was downloaded, but no program can open it. Please install it by hand: %1</translation>
    </message>
    <message>
        <source>无法推送到手机</source>
        <translation>Cannot push to the phone</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Kestrow</source>
        <translation>Kestrow</translation>
    </message>
    <message>
        <source>请选择想关注的任务类型:</source>
        <translation>Choose the task types to follow:</translation>
    </message>
    <message>
        <source>历史任务</source>
        <translation>History</translation>
    </message>
    <message>
        <source>添加站点…</source>
        <translation>Add site…</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>还没有任何站点。

点“添加站点…”, 贴入一个任务列表页的地址和页面上一个任务的标题, Kestrow会找出页面上的每个任务, 之后就像关注其他站点一样关注它。</source>
        <translation>No sites yet.

Click “Add site…” and paste the address of a task list page and the title of one task on it. Kestrow finds every task on the page and then follows it like any other site.</translation>
    </message>
    <message>
        <source>站点目录无法读取。

仍可以点“添加站点…”添加自己的站点。</source>
        <translation>The site catalog cannot be read.

You can still click “Add site…” to add your own sites.</translation>
    </message>
</context>
<context>
    <name>NodeStatus</name>
    <message>
        <source>连续%1次获取失败</source>
        <translation>Fetching failed %1 times in a row</translation>
    </message>
    <message>
        <source>连续%1次未找到任务, 页面或标记可能已改变</source>
        <translation>No tasks found %1 times in a row; the page or its markers may have changed</translation>
    </message>
    <message>
        <source>最后错误: %1</source>
        <translation>Last error: %1</translation>
    </message>
    <message>
        <source>开始于: %1</source>
        <translation>Since: %1</translation>
    </message>
    <message>
        <source>上次正常: %1</source>
        <translation>Last worked: %1</translation>
    </message>
    <message>
        <source>从未正常</source>
        <translation>Never worked</translation>
    </message>
</context>
<context>
    <name>PushFormat</name>
    <message>
        <source>Kestrow: %1 个新任务</source>
        <translation>Kestrow: %1 new tasks</translation>
    </message>
    <message>
        <source>…共 %1 个新任务</source>
        <translation>…%1 new tasks in all</translation>
    </message>
    <message>
        <source>来自: %1</source>
        <translation>From: %1</translation>
    </message>
    <message>
        <source>回应中没有 %1</source>
        <translation>no %1 in the answer</translation>
    </message>
</context>
<context>
    <name>PushSender</name>
    <message>
        <source>推送失败 (%1): %2</source>
        <translation>Push failed (%1): %2</translation>
    </message>
    <message>
        <source>Kestrow</source>
        <translation>Kestrow</translation>
    </message>
    <message>
        <source>测试</source>
        <translation>Test</translation>
    </message>
    <message>
        <source>这是一条测试消息</source>
        <translation>This is a test message</translation>
    </message>
    <message>
        <source>地址须以 https:// 开头</source>
        <translation>The address must begin with https://</translation>
    </message>
    <message>
        <source>回应过大</source>
        <translation>answer too large</translation>
    </message>
</context>
<context>
    <name>PushWindow</name>
    <message>
        <source>企业微信群机器人</source>
        <translation>WeCom group robot</translation>
    </message>
    <message>
        <source>钉钉群机器人</source>
        <translation>DingTalk group robot</translation>
    </message>
    <message>
        <source>飞书群机器人</source>
        <translation>Feishu group robot</translation>
    </message>
    <message>
        <source>ntfy</source>
        <translation>ntfy</translation>
    </message>
    <message>
        <source>Webhook</source>
        <translation>Webhook</translation>
    </message>
    <message>
        <source>Kestrow - 推送到手机</source>
        <translation>Kestrow - Phone pushes</translation>
    </message>
    <message>
        <source>类型</source>
        <translation>Kind</translation>
    </message>
    <message>
        <source>地址</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>启用</source>
        <translation>On</translation>
    </message>
    <message>
        <source>免打扰时也发</source>
        <translation>In quiet hours</translation>
    </message>
    <message>
        <source>添加</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Remove</translation>
    </message>
    <message>
        <source>发送测试</source>
        <translation>Send test</translation>
    </message>
    <message>
        <source>地址:</source>
        <translation>Address:</translation>
    </message>
    <message>
        <source>主题:</source>
        <translation>Topic:</translation>
    </message>
    <message>
        <source>免打扰时段也发送</source>
        <translation>Send in quiet hours too</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>点“添加”选择一种推送方式: 新任务会同时发到手机。</source>
        <translation>Click “Add” and choose a way to push: new tasks then reach your phone too.</translation>
    </message>
    <message>
        <source>正在发送…</source>
        <translation>Sending…</translation>
    </message>
    <message>
        <source>已送达。</source>
        <translation>Delivered.</translation>
    </message>
    <message>
        <source>发送失败: %1</source>
        <translation>Not sent: %1</translation>
    </message>
    <message>
        <source>类型: %1</source>
        <translation>Kind: %1</translation>
    </message>
    <message>
        <source>访问令牌:</source>
        <translation>Token:</translation>
    </message>
    <message>
        <source>签名密钥:</source>
        <translation>Secret:</translation>
    </message>
    <message>
        <source>可选</source>
        <translation>optional</translation>
    </message>
    <message>
        <source>是</source>
        <translation>yes</translation>
    </message>
    <message>
        <source>否</source>
        <translation>no</translation>
    </message>
    <message>
        <source>地址须以 https:// 开头 (或 http://127.0.0.1 用于测试)</source>
        <translation>The address must begin with https:// (or http://127.0.0.1 for tests)</translation>
    </message>
</context>
<context>
    <name>ScanTask</name>
    <message>
        <source>站点目录无法读取: %1</source>
        <translation>Cannot read the site catalog: %1</translation>
    </message>
    <message>
        <source>目录中的节点无法读取</source>
        <translation>The node in the catalog cannot be read</translation>
    </message>
    <message>
        <source>不在目录中</source>
        <translation>Not in the catalog</translation>
    </message>
    <message>
        <source>无法扫描任何关注节点: %1</source>
        <translation>Cannot scan any followed node: %1</translation>
    </message>
    <message>
        <source>%1, 服务器要求暂停至 %2</source>
        <translation>%1, the server asked to pause until %2</translation>
    </message>
</context>
<context>
    <name>SiteView</name>
    <message>
        <source>&gt;&gt;快速注册&lt;&lt;</source>
        <translation>&gt;&gt;Sign up&lt;&lt;</translation>
    </message>
    <message>
        <source>删除站点</source>
        <translation>Remove site</translation>
    </message>
    <message>
        <source>编辑站点</source>
        <translation>Edit site</translation>
    </message>
</context>
<context>
    <name>TaskWindow</name>
    <message>
        <source>上一页</source>
        <translation>Prev</translation>
    </message>
    <message>
        <source>下一页</source>
        <translation>Next</translation>
    </message>
    <message>
        <source>价格 : 无</source>
        <translation>Price: none</translation>
    </message>
    <message>
        <source>价格 : %1</source>
        <translation>Price: %1</translation>
    </message>
    <message>
        <source>%1 / %2</source>
        <translation>%1 / %2</translation>
    </message>
</context>
<context>
    <name>Tray</name>
    <message>
        <source>关注任务</source>
        <translation>Follow tasks</translation>
    </message>
    <message>
        <source>历史任务</source>
        <translation>History</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>提醒设置</source>
        <translation>Alert rules</translation>
    </message>
    <message>
        <source>添加站点…</source>
        <translation>Add site…</translation>
    </message>
    <message>
        <source>关于</source>
        <translation>About</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>继续</source>
        <translation>Resume</translation>
    </message>
    <message>
        <source>Kestrow</source>
        <translation>Kestrow</translation>
    </message>
    <message>
        <source>Kestrow - 未运行</source>
        <translation>Kestrow - paused</translation>
    </message>
    <message>
        <source>%1 个关注节点异常</source>
        <translation>%1 followed node(s) in trouble</translation>
    </message>
</context>
<context>
    <name>UserDb</name>
    <message>
        <source>磁盘已满</source>
        <translation>Disk full</translation>
    </message>
    <message>
        <source>无法写入</source>
        <translation>Cannot write</translation>
    </message>
    <message>
        <source>无法保存 (%1)</source>
        <translation>Cannot save (%1)</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>数据文件来自更新版本的Kestrow, 只能读取</source>
        <translation>The data file is from a newer Kestrow and can only be read</translation>
    </message>
    <message>
        <source>数据文件已损坏</source>
        <translation>The data file is damaged</translation>
    </message>
</context>
<context>
    <name>UserSites</name>
    <message>
        <source>已有名为“%1”的站点</source>
        <translation>A site named “%1” already exists</translation>
    </message>
    <message>
        <source>有文字超过 %1 个字符</source>
        <translation>Some text is longer than %1 characters</translation>
    </message>
    <message>
        <source>无法写入 %1</source>
        <translation>Cannot write %1</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>注意</source>
        <translation>Note</translation>
    </message>
    <message>
        <source>Kestrow已运行</source>
        <translation>Kestrow is already running</translation>
    </message>
    <message>
        <source>无法确认Kestrow是否已在运行 (无法创建锁文件), 程序不会启动</source>
        <translation>Cannot tell whether Kestrow is already running (the lock file cannot be created), so it will not start</translation>
    </message>
</context>
</TS>
