<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>MainWindow</name>
    <message>
        <source>Server IP Address:</source>
        <translation>服务端IP地址</translation>
    </message>
    <message>
        <source>Auth Code:</source>
        <translation>授权码：</translation>
    </message>
    <message>
        <source>Connect to server</source>
        <translation>连接服务端</translation>
    </message>
    <message>
        <source>Automatic login</source>
        <translation>自动登录</translation>
    </message>
    <message>
        <source>Save configuration</source>
        <translation>保存配置</translation>
    </message>
    <message>
        <source>Enter the authorization code</source>
        <translation>输入授权码</translation>
    </message>
    <message>
        <source>Olvenka Cloud Printer</source>
        <translation>奥文卡云打印</translation>
    </message>
    <message>
        <source>Switch server</source>
        <translation>切换服务端</translation>
    </message>
    <message>
        <source>Return</source>
        <translation>返回</translation>
    </message>
    <message>
        <source>quit</source>
        <translation>退出</translation>
    </message>
    <message>
        <source>Connection exception</source>
        <translation>连接异常</translation>
    </message>
    <message>
        <source>IP address or the authorization code is wrong!</source>
        <translation>IP地址或者授权码错误！</translation>
    </message>
    <message>
        <source>Please enter the server IP address!</source>
        <translation>请输入服务端IP地址！</translation>
    </message>
    <message>
        <source>Please enter the authorization code!</source>
        <translation>请输入授权码！</translation>
    </message>
    <message>
        <source>Please update the authorization code</source>
        <translation>请更新授权码</translation>
    </message>
    <message>
        <source>Please check the server connection</source>
        <translation>请检查服务端连接</translation>
    </message>
</context>
<context>
    <name>AddPrinterWidget</name>
    <message>
        <source>View print queue</source>
        <translation>查看打印队列</translation>
    </message>
    <message>
        <source>Printer idle</source>
        <translation>打印机空闲</translation>
    </message>
    <message>
        <source>Printing</source>
        <translation>正在打印中</translation>
    </message>
    <message>
        <source>Printer anomaly</source>
        <translation>打印异常</translation>
    </message>
</context>
<context>
    <name>PrintLogWidget</name>
    <message>
        <source>Print queue</source>
        <translation>打印队列</translation>
    </message>
    <message>
        <source>Printer</source>
        <translation>打印机</translation>
    </message>
    <message>
        <source>File Name</source>
        <translation>文件名</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>打印状态</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>时间</translation>
    </message>
    <message>
        <source>Completed</source>
        <translation>已完成</translation>
    </message>
    <message>
        <source>Printing</source>
        <translation>打印中</translation>
    </message>
    <message>
        <source>Print waiting</source>
        <translation>打印等待</translation>
    </message>
    <message>
        <source>Cancel printing</source>
        <translation>取消打印</translation>
    </message>
    <message>
        <source>Printer anomaly</source>
        <translation>打印异常</translation>
    </message>
    <message>
        <source>Priority printing</source>
        <translation>优先打印</translation>
    </message>
</context>
</TS>
