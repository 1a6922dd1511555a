<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>AboutWindow</name>
    <message>
        <source>Kestrow - 关于</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Kestrow v%1 开源版</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>问题及反馈请 </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>点击这里</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>特别感谢: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Qt 与 SQLite</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>来自作者的消息: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>关闭</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>AddSiteWindow</name>
    <message>
        <source>Kestrow - 添加站点</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>任务列表页地址:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>https://… 任务列表页，或 RSS/Atom 订阅源</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>使用订阅源</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>示例任务标题:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>照浏览器中看到的样子，填写页面上任意一个任务的标题</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>示例价格(可选):</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>站点名称:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>节点名称:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>预览</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>任务</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>价格</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>地址</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>保存</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>取消</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Kestrow - 编辑站点</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>找不到站点 %1 的文件</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>订阅源。修改后点“预览”。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>填写一个示例任务标题后点“预览”。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>请填写以 http:// 或 https:// 开头的地址</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>正在获取页面…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>页面超过 16 MiB，Kestrow 不会读取它</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>网站没有及时回应，请稍后再试</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无法获取页面: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>页面被转到了另一个地址，请改用它: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>这是一个订阅源，但其中没有任务</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>订阅源，共 %1 个任务。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>此页面提供订阅源: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>请填写一个在页面上看到的任务标题</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>请填写一个在页面上看到的任务标题，或使用页面提供的订阅源</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>在示例任务那一行里找不到这个价格。请照页面上显示的样子填写，或者不填。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>页面上找不到这个标题。请照浏览器中显示的样子填写（网站可能要求登录，或任务由脚本载入）。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>找到了这个标题，但找不到能同时切出它和其他任务的标记。请换一个示例试试。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>共 %1 个任务。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>请填写站点名称和节点名称</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无法保存: %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>AlertWindow</name>
    <message>
        <source>Kestrow - 提醒设置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>标题含以下任一词才提醒:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>不限; 多个词用空格或逗号隔开</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>标题含以下任一词不提醒:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>不限</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>最低预算:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> 元</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>免打扰:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>用桌面通知代替弹窗</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>关闭</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ConfigWindow</name>
    <message>
        <source>Kestrow - 设置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>开机启动</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>播放提示声音</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>任务更新时间:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>快速 - 30 秒</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>较快 - 1分钟</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>默认 - 3分钟</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>自动删除早于此时间的历史任务:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>天</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>界面字体:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>默认</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>关闭</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>提醒设置...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>跟随系统</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>DesktopNotifier</name>
    <message>
        <source>…共 %1 个新任务</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 个新任务</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>打开</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>HistoryModel</name>
    <message>
        <source>无</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>地址</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>网 站</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>任务类型</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>任 务</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>价 格</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>发现时间</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>HistoryWindow</name>
    <message>
        <source>Kestrow - 历史任务</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>网站:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>所有网站</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>导出…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>搜索任务</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>导出历史任务</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>CSV 文件 (*.csv)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无法写入 %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Kestrow</name>
    <message>
        <source>自定义站点未载入</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>这些站点文件有错误, 未载入: %1
“kestrow-catalog add 文件”会说明原因</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>单击此图标可以暂停和开始任务监控</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>更多问题及反馈请见程序关于窗口</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>祝您使用愉快!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>还没有任何站点: 在“关注任务”窗口中点“添加站点…”, 贴入任务列表页的地址和其中一个任务的标题</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>还没有关注任何节点: 双击此图标打开“关注任务”, 勾选想关注的任务类型后关闭窗口</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>欢迎使用Kestrow</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>删除站点</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>删除站点“%1”？
已关注的节点会被记住，站点再次添加时继续关注。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>关注节点异常</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>数据无法保存</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无法监控任务</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>程序更新</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>发现新版本[Kestrow v%1]是否现在进行更新?
PS:程序将会在后台自动下载更新,建议选择&apos;是&apos;.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>更新包已下载, 但没有程序能打开它, 请手动安装: %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Kestrow</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>请选择想关注的任务类型:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>历史任务</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>添加站点…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>关闭</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>退出</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>还没有任何站点。

点“添加站点…”, 贴入一个任务列表页的地址和页面上一个任务的标题, Kestrow会找出页面上的每个任务, 之后就像关注其他站点一样关注它。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>站点目录无法读取。

仍可以点“添加站点…”添加自己的站点。</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>NodeStatus</name>
    <message>
        <source>连续%1次获取失败</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>连续%1次未找到任务, 页面或标记可能已改变</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>最后错误: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>开始于: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>上次正常: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>从未正常</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ScanTask</name>
    <message>
        <source>站点目录无法读取: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>目录中的节点无法读取</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>不在目录中</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无法扫描任何关注节点: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1, 服务器要求暂停至 %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SiteView</name>
    <message>
        <source>&gt;&gt;快速注册&lt;&lt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>删除站点</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>编辑站点</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TaskWindow</name>
    <message>
        <source>上一页</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>下一页</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>价格 : 无</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>价格 : %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 / %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Tray</name>
    <message>
        <source>关注任务</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>历史任务</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>设置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>提醒设置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>添加站点…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>关于</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>退出</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>暂停</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>继续</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Kestrow</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Kestrow - 未运行</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 个关注节点异常</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>UserDb</name>
    <message>
        <source>磁盘已满</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无法写入</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无法保存 (%1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>数据文件来自更新版本的Kestrow, 只能读取</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>数据文件已损坏</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>UserSites</name>
    <message>
        <source>已有名为“%1”的站点</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>有文字超过 %1 个字符</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无法写入 %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>注意</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Kestrow已运行</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无法确认Kestrow是否已在运行 (无法创建锁文件), 程序不会启动</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
