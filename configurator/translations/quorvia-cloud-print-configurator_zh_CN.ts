<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>ConfiguratorWindow</name>
    <message>
        <source>Connect to Cloud Print Server</source>
        <translation>连接云打印服务器</translation>
    </message>
    <message>
        <source>IP Address</source>
        <translation>IP 地址</translation>
    </message>
    <message>
        <source>Please input the printer IP address</source>
        <translation>请输入打印服务器 IP 地址</translation>
    </message>
    <message>
        <source>Auth Code</source>
        <translation>授权码</translation>
    </message>
    <message>
        <source>Please input the auth code</source>
        <translation>请输入授权码</translation>
    </message>
    <message>
        <source>Next</source>
        <translation>下一步</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>设置</translation>
    </message>
    <message>
        <source>Port Setting</source>
        <translation>端口设置</translation>
    </message>
    <message>
        <source>Please check network connection or IP</source>
        <translation>请检查网络连接或 IP 地址</translation>
    </message>
    <message>
        <source>Invalid authorization code</source>
        <translation>授权码无效</translation>
    </message>
    <message>
        <source>Client version is too low</source>
        <translation>客户端版本过低</translation>
    </message>
    <message>
        <source>Client version is too high</source>
        <translation>客户端版本过高</translation>
    </message>
    <message>
        <source>Client version not obtained or incorrect</source>
        <translation>未获取到客户端版本或版本有误</translation>
    </message>
    <message>
        <source>No printer available, please try to connect to other print server</source>
        <translation>没有可用的打印机，请尝试连接其他打印服务器</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>IP Address (%1)</source>
        <translation>IP 地址（%1）</translation>
    </message>
    <message>
        <source>Select the printer to add</source>
        <translation>选择要添加的打印机</translation>
    </message>
</context>
<context>
    <name>PortConfigDialog</name>
    <message>
        <source>Modify configuration to restart service to take effect, whether to continue?</source>
        <translation>修改配置需重启服务后生效，是否继续？</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Continue</source>
        <translation>继续</translation>
    </message>
    <message>
        <source>Port Configuration</source>
        <translation>端口配置</translation>
    </message>
    <message>
        <source>Port configurable range: 1025-65535</source>
        <translation>端口可配置范围：1025-65535</translation>
    </message>
    <message>
        <source>Cloud Port</source>
        <translation>云端口</translation>
    </message>
    <message>
        <source>Modify</source>
        <translation>修改</translation>
    </message>
    <message>
        <source>Please enter a port from 1025 to 65535</source>
        <translation>请输入 1025 到 65535 之间的端口</translation>
    </message>
    <message>
        <source>The port could not be saved</source>
        <translation>端口保存失败</translation>
    </message>
</context>
<context>
    <name>PrinterWidget</name>
    <message>
        <source>(Added)</source>
        <translation>（已添加）</translation>
    </message>
    <message>
        <source>Internet connection:%1</source>
        <translation>网络连接：%1</translation>
    </message>
    <message>
        <source>Local connection</source>
        <translation>本地连接</translation>
    </message>
    <message>
        <source>Printer is offline</source>
        <translation>打印机离线</translation>
    </message>
    <message>
        <source>Printer is idle</source>
        <translation>打印机空闲</translation>
    </message>
    <message>
        <source>%1 print jobs are being processed</source>
        <translation>正在处理 %1 个打印任务</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>Brantel Cloud Print</source>
        <translation>Brantel 云打印</translation>
    </message>
    <message>
        <source>Brantel Cloud Print is a new printing solution from Brantel. It connects your printer to the network so that you can print over the network from the applications you use every day. It suits desktops, laptops, some tablets and other networked devices that you have authorised to print.</source>
        <translation>Brantel 云打印是 Brantel 推出的全新打印解决方案。它将您的打印机接入网络，让您在日常使用的应用程序中即可通过网络打印。它适用于台式机、笔记本电脑、部分平板电脑以及其他经您授权打印的联网设备。</translation>
    </message>
</context>
</TS>
