<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>AboutStrideloom</name>
    <message>
        <source>关于</source>
        <translation>About</translation>
    </message>
    <message>
        <source>版 本 号：</source>
        <translation>Version:</translation>
    </message>
    <message>
        <source>发 布 日 期：</source>
        <translation>Release date:</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;&lt;b&gt;Strideloom&lt;/b&gt; 惯性传感器配置与可视化工具：设备查找、实时数据、记录与回放、磁力计与加速度计校准。&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;&lt;b&gt;Strideloom&lt;/b&gt; configuration and visualisation tool for inertial sensors: finding devices, live data, recording and playback, magnetometer and accelerometer calibration.&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>确  定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>关于 </source>
        <translation>About </translation>
    </message>
    <message>
        <source>./Resources/readme_ch.txt</source>
        <extracomment>The about text&apos;s file, one per language: give the English one.</extracomment>
        <translation>./Resources/readme_en.txt</translation>
    </message>
    <message>
        <source>yyyy年M月d日</source>
        <extracomment>Release date format (QDate::toString): give &quot;yyyy-MM-dd&quot;.</extracomment>
        <translation>yyyy-MM-dd</translation>
    </message>
</context>
<context>
    <name>CalibrationAccel</name>
    <message>
        <source>加速度计校准</source>
        <translation>Accelerometer calibration</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;加速度计校准&lt;/p&gt;&lt;p&gt;（用户请勿执行本操作）&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Accelerometer calibration&lt;/p&gt;&lt;p&gt;(for service engineers, not for end users)&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>加速度计旋转面【1】</source>
        <translation>Accelerometer plane 1</translation>
    </message>
    <message>
        <source>加速度计旋转面【2】</source>
        <translation>Accelerometer plane 2</translation>
    </message>
    <message>
        <source>加速度计旋转面【3】</source>
        <translation>Accelerometer plane 3</translation>
    </message>
    <message>
        <source>加速度计旋转面【4】</source>
        <translation>Accelerometer plane 4</translation>
    </message>
    <message>
        <source>加速度计旋转面【5】</source>
        <translation>Accelerometer plane 5</translation>
    </message>
    <message>
        <source>加速度计旋转面【6】</source>
        <translation>Accelerometer plane 6</translation>
    </message>
    <message>
        <source>加速度计校准计算</source>
        <translation>Accelerometer calibration: computation</translation>
    </message>
    <message>
        <source>开始校准</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>命令下发用时：</source>
        <translation>Command sent, waiting: </translation>
    </message>
    <message>
        <source>命令执行状态：</source>
        <translation>Command status: </translation>
    </message>
    <message>
        <source>校准旋转面【%1】剩余时间：</source>
        <translation>Plane %1, time left: </translation>
    </message>
    <message>
        <source>校准旋转面【%1】</source>
        <translation>Plane %1</translation>
    </message>
    <message>
        <source>开始计算</source>
        <translation>Compute</translation>
    </message>
    <message>
        <source>命令下发用时：%1秒</source>
        <translation>Command sent, waiting: %1 s</translation>
    </message>
    <message>
        <source>校准旋转面【%1】剩余时间：%2秒</source>
        <translation>Plane %1, time left: %2 s</translation>
    </message>
    <message>
        <source>成功！</source>
        <translation>succeeded</translation>
    </message>
    <message>
        <source>失败！</source>
        <translation>failed</translation>
    </message>
    <message>
        <source>校准计算状态：</source>
        <translation>Computation status: </translation>
    </message>
</context>
<context>
    <name>DeviceConfToShow</name>
    <message>
        <source>拟合收集点数：</source>
        <translation>Samples collected for the fit: </translation>
    </message>
    <message>
        <source>标志点数：</source>
        <translation>Fit points: </translation>
    </message>
    <message>
        <source>拟合算法运算成功！</source>
        <translation>Fit succeeded.</translation>
    </message>
    <message>
        <source>拟合运算效果： 一般</source>
        <translation>Fit quality: fair</translation>
    </message>
    <message>
        <source>拟合运算效果： 较好</source>
        <translation>Fit quality: good</translation>
    </message>
    <message>
        <source>拟合运算失败！</source>
        <translation>Fit failed.</translation>
    </message>
    <message>
        <source>开始重新收集并运算...</source>
        <translation>Collecting samples again...</translation>
    </message>
</context>
<context>
    <name>DlgPreferences</name>
    <message>
        <source>选项</source>
        <translation>Options</translation>
    </message>
    <message>
        <source>界面语言</source>
        <translation>Interface language</translation>
    </message>
    <message>
        <source>语言：</source>
        <translation>Language:</translation>
    </message>
    <message>
        <source>跟随系统</source>
        <translation>System language</translation>
    </message>
    <message>
        <source>选择后立即生效</source>
        <translation>Takes effect at once</translation>
    </message>
    <message>
        <source>基础配置</source>
        <translation>General</translation>
    </message>
    <message>
        <source>名称选项</source>
        <translation>File name</translation>
    </message>
    <message>
        <source>文件名：</source>
        <translation>File name:</translation>
    </message>
    <message>
        <source>例如：temp_&lt;datetime&gt;_&lt;deviceid&gt;.txt</source>
        <translation>For example: temp_&lt;datetime&gt;_&lt;deviceid&gt;.txt</translation>
    </message>
    <message>
        <source>分隔符</source>
        <translation>Separator</translation>
    </message>
    <message>
        <source>[Tab]键</source>
        <translation>Tab</translation>
    </message>
    <message>
        <source>分号[;]</source>
        <translation>Semicolon [;]</translation>
    </message>
    <message>
        <source>逗号[,]</source>
        <translation>Comma [,]</translation>
    </message>
    <message>
        <source>空格[ ]</source>
        <translation>Space [ ]</translation>
    </message>
    <message>
        <source>自定义</source>
        <translation>Custom</translation>
    </message>
    <message>
        <source>占位符（空数据）</source>
        <translation>Placeholder (no data)</translation>
    </message>
    <message>
        <source>空格</source>
        <translation>Blank</translation>
    </message>
    <message>
        <source>传感器数据</source>
        <translation>Sensor data</translation>
    </message>
    <message>
        <source>四元数</source>
        <translation>Quaternion</translation>
    </message>
    <message>
        <source>欧拉角</source>
        <translation>Euler angles</translation>
    </message>
    <message>
        <source>陀螺仪</source>
        <translation>Gyroscope</translation>
    </message>
    <message>
        <source>加速度</source>
        <translation>Acceleration</translation>
    </message>
    <message>
        <source>空间定位</source>
        <translation>Position</translation>
    </message>
    <message>
        <source>磁力计</source>
        <translation>Magnetometer</translation>
    </message>
    <message>
        <source>温度</source>
        <translation>Temperature</translation>
    </message>
    <message>
        <source>气压计</source>
        <translation>Barometer</translation>
    </message>
    <message>
        <source>时间戳</source>
        <translation>Time stamp</translation>
    </message>
    <message>
        <source>包计数</source>
        <translation>Frame counter</translation>
    </message>
    <message>
        <source>录制时间</source>
        <translation>Recording time</translation>
    </message>
    <message>
        <source>导出文件</source>
        <translation>Recording files</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>导出</source>
        <translation>Recording</translation>
    </message>
    <message>
        <source>分隔符 与 占位符 不能相同，请重新设置！</source>
        <translation>Separator and placeholder must differ. Please choose again.</translation>
    </message>
    <message>
        <source>流数据</source>
        <translation>Streaming</translation>
    </message>
</context>
<context>
    <name>DlgWait</name>
    <message>
        <source>加载中，请稍后...</source>
        <translation>Loading, please wait...</translation>
    </message>
</context>
<context>
    <name>DockDebugInfo</name>
    <message>
        <source>调试窗口</source>
        <translation>Debug window</translation>
    </message>
</context>
<context>
    <name>DockDeviceList</name>
    <message>
        <source>设备列表</source>
        <translation>Device list</translation>
    </message>
    <message>
        <source>设备ID</source>
        <translation>Device ID</translation>
    </message>
    <message>
        <source>连接方式</source>
        <translation>Connection</translation>
    </message>
    <message>
        <source>属性</source>
        <translation>Property</translation>
    </message>
    <message>
        <source>开始（100帧）</source>
        <translation>Start (100 frames/s)</translation>
    </message>
    <message>
        <source>启动设备传输</source>
        <translation>Start data</translation>
    </message>
    <message>
        <source>停止传输</source>
        <translation>Stop data</translation>
    </message>
    <message>
        <source>删除文件</source>
        <translation>Remove recording</translation>
    </message>
    <message>
        <source>删除当前播放文件</source>
        <translation>Remove this recording from the list</translation>
    </message>
    <message>
        <source>Router Device</source>
        <translation>USB node</translation>
    </message>
    <message>
        <source>Serial Port</source>
        <translation>Serial port</translation>
    </message>
    <message>
        <source>Read File</source>
        <translation>Recording</translation>
    </message>
    <message>
        <source>波特率：</source>
        <translation>Baud rate: </translation>
    </message>
    <message>
        <source>设备：%1，保存文件失败!</source>
        <translation>Could not create the recording file for device %1.</translation>
    </message>
    <message>
        <source>设备：%1，写入文件失败，已停止记录！</source>
        <translation>Recording failed for device %1; recording stopped.</translation>
    </message>
    <message>
        <source>Network</source>
        <translation>Network</translation>
    </message>
    <message>
        <source>网络设备：命令和校准只能在其采集站上进行</source>
        <translation>Network device: commands and calibrations run on its capture station</translation>
    </message>
    <message>
        <source>此设备的数据来自另一台计算机（采集站），本程序只显示和记录它</source>
        <translation>This device streams from another computer (a capture station); here it is only shown and recorded</translation>
    </message>
    <message>
        <source>采集站离线</source>
        <translation>Capture station offline</translation>
    </message>
    <message>
        <source>与代理服务器的连接中断</source>
        <translation>Connection to the broker lost</translation>
    </message>
    <message>
        <source>串口设备 %1</source>
        <translation>Serial device %1</translation>
    </message>
</context>
<context>
    <name>InfoBox</name>
    <message>
        <source>提示：</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>确 定</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>MagResultWriter</name>
    <message>
        <source>该设备不是串口设备，校准结果无法写入设备</source>
        <translation>Not a serial device: the calibration cannot be written into it</translation>
    </message>
    <message>
        <source>设备未确认写入，校准结果未写入设备</source>
        <translation>The device did not confirm the write: calibration not written</translation>
    </message>
    <message>
        <source>设备已断开，校准结果未写入设备</source>
        <translation>Device disconnected: calibration not written</translation>
    </message>
    <message>
        <source>未能读取设备配置，校准结果未写入设备</source>
        <translation>Could not read the device configuration: calibration not written</translation>
    </message>
    <message>
        <source>读取设备配置，准备写入校准结果...</source>
        <translation>Reading the device configuration to write the calibration...</translation>
    </message>
    <message>
        <source>校准结果已写入设备</source>
        <translation>Calibration written to the device</translation>
    </message>
</context>
<context>
    <name>MainView</name>
    <message>
        <source>基础数据：加速度、角速度与磁场</source>
        <translation>Basic data: acceleration, angular rate and magnetic field</translation>
    </message>
    <message>
        <source>应用数据：四元数与欧拉角</source>
        <translation>Applied data: quaternion and Euler angles</translation>
    </message>
    <message>
        <source>扩展数据：气压、高度与温度</source>
        <translation>Extended data: pressure, altitude and temperature</translation>
    </message>
    <message>
        <source>三维视图：设备姿态</source>
        <translation>3D view: device orientation</translation>
    </message>
    <message>
        <source>磁力计校准：磁场采样点云</source>
        <translation>Magnetometer calibration: the magnetic field samples</translation>
    </message>
    <message>
        <source>暂停回放</source>
        <translation>Pause playback</translation>
    </message>
    <message>
        <source>回放</source>
        <translation>Play back</translation>
    </message>
    <message>
        <source>套装视图</source>
        <translation>Suit view</translation>
    </message>
</context>
<context>
    <name>PlotWidget</name>
    <message>
        <source>无</source>
        <translation>None</translation>
    </message>
    <message>
        <source>继续显示最新数据</source>
        <translation>Resume: show the latest data</translation>
    </message>
    <message>
        <source>暂停显示</source>
        <translation>Pause the plot</translation>
    </message>
    <message>
        <source>%1：%2</source>
        <extracomment>The plot&apos;s header: label and device key.</extracomment>
        <translation>%1: %2</translation>
    </message>
</context>
<context>
    <name>RecordFormat</name>
    <message>
        <source>分隔符不能为空！</source>
        <translation>The separator must not be empty.</translation>
    </message>
    <message>
        <source>分隔符不能包含“/”、换行、数字或数值与时间中会出现的字符（. + - e E _ n a i f），否则记录的文件无法读回！</source>
        <translation>The separator must not contain &quot;/&quot;, a line break, a digit or a character that occurs in numbers and times (. + - e E _ n a i f): the recording could not be read back.</translation>
    </message>
    <message>
        <source>占位符不能为空，也不能包含“/”、换行或分隔符，否则记录的文件无法读回！</source>
        <translation>The placeholder must not be empty or contain &quot;/&quot;, a line break or the separator: the recording could not be read back.</translation>
    </message>
</context>
<context>
    <name>StreamSettingsPage</name>
    <message>
        <source>浏览</source>
        <translation>Browse</translation>
    </message>
    <message>
        <source>选择文件</source>
        <translation>Choose a file</translation>
    </message>
    <message>
        <source>MQTT 代理服务器</source>
        <translation>MQTT broker</translation>
    </message>
    <message>
        <source>将本机设备的数据发布到代理服务器</source>
        <translation>Publish this computer&apos;s devices to the broker</translation>
    </message>
    <message>
        <source>地址：</source>
        <translation>Host:</translation>
    </message>
    <message>
        <source>端口：</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>采集站名称：</source>
        <translation>Station name:</translation>
    </message>
    <message>
        <source>用户名：</source>
        <translation>User name:</translation>
    </message>
    <message>
        <source>密码：</source>
        <translation>Password:</translation>
    </message>
    <message>
        <source>CA 证书（TLS）：</source>
        <translation>CA certificate (TLS):</translation>
    </message>
    <message>
        <source>客户端证书：</source>
        <translation>Client certificate:</translation>
    </message>
    <message>
        <source>客户端私钥：</source>
        <translation>Client key:</translation>
    </message>
    <message>
        <source>显示其他采集站的设备（网络设备）</source>
        <translation>Show other stations&apos; devices (network devices)</translation>
    </message>
    <message>
        <source>全部；或用 ; 分隔的采集站名称</source>
        <translation>All, or station names separated by ;</translation>
    </message>
    <message>
        <source>采集站：</source>
        <translation>Stations:</translation>
    </message>
    <message>
        <source>以 OSC 发送本机设备的数据</source>
        <translation>Send this computer&apos;s devices over OSC</translation>
    </message>
    <message>
        <source>按设备频率</source>
        <translation>Device rate</translation>
    </message>
    <message>
        <source> 帧/秒</source>
        <translation> frames/s</translation>
    </message>
    <message>
        <source>最大频率：</source>
        <translation>Maximum rate:</translation>
    </message>
    <message>
        <source>QoS：</source>
        <translation>QoS:</translation>
    </message>
</context>
<context>
    <name>StreamingHost</name>
    <message>
        <source>MQTT 已连接（%1）</source>
        <translation>MQTT connected (%1)</translation>
    </message>
    <message>
        <source>，已发送 %1 帧，丢弃 %2 帧</source>
        <translation>, %1 frames sent, %2 dropped</translation>
    </message>
    <message>
        <source>远程设备：%1，收到 %2 帧，丢失 %3 帧，无效消息 %4</source>
        <translation>Remote devices: %1, %2 frames received, %3 lost, %4 invalid messages</translation>
    </message>
    <message>
        <source>已连接</source>
        <translation>connected</translation>
    </message>
    <message>
        <source>正在连接</source>
        <translation>connecting</translation>
    </message>
    <message>
        <source>代理服务器无法连接</source>
        <translation>broker unreachable</translation>
    </message>
    <message>
        <source>代理服务器拒绝连接</source>
        <translation>broker refused the connection</translation>
    </message>
    <message>
        <source>MQTT %1</source>
        <translation>MQTT %1</translation>
    </message>
    <message>
        <source>，界面来不及处理而丢弃 %1</source>
        <translation>, dropped by a busy window %1</translation>
    </message>
    <message>
        <source>；OSC 已发送 %1，失败 %2，限速略去 %3</source>
        <translation>; OSC %1 sent, %2 failed, %3 thinned</translation>
    </message>
</context>
<context>
    <name>Strideloom</name>
    <message>
        <source>正在查找设备…</source>
        <translation>Finding devices…</translation>
    </message>
    <message>
        <source>选择要打开的文件</source>
        <translation>Choose a recording to open</translation>
    </message>
    <message>
        <source>加载中，请稍后...</source>
        <translation>Loading, please wait...</translation>
    </message>
    <message>
        <source>获取文件信息失败，不能解析此文件！</source>
        <translation>Could not read the file header: this is not a recording.</translation>
    </message>
    <message>
        <source>文件加载失败，请重试！</source>
        <translation>Loading the recording failed. Please try again.</translation>
    </message>
    <message>
        <source>找不到随程序安装的用户指南（guide/strideloom-guide.html），请重新安装程序。</source>
        <translation>The user guide that ships with the program (guide/strideloom-guide.html) is missing. Please reinstall the program.</translation>
    </message>
    <message>
        <source>无法打开用户指南：%1</source>
        <translation>Could not open the user guide: %1</translation>
    </message>
    <message>
        <source>设备：%1，不是已连接的串口设备，无法执行该操作!</source>
        <translation>Device %1 is not a connected serial device; the command cannot be sent.</translation>
    </message>
    <message>
        <source>设备：%1，%2。</source>
        <extracomment>%1 the device key, %2 what went wrong</extracomment>
        <translation>Device %1: %2.</translation>
    </message>
    <message>
        <source>设备：%1，磁场校准结果尚未写入设备。再次关闭将退出程序，结果不会保存。</source>
        <translation>Device %1: the magnetometer calibration is not written to the device yet. Closing again quits, and the calibration is lost.</translation>
    </message>
    <message>
        <source>请仅勾选一个设备用于加速度校准!</source>
        <translation>Tick exactly one device for the accelerometer calibration.</translation>
    </message>
    <message>
        <source>请仅勾选一个设备用于置零旋转!</source>
        <translation>Tick exactly one device to zero its rotation.</translation>
    </message>
    <message numerus="yes">
        <source>查找完成，找到 %n 个串口设备</source>
        <translation>
            <numerusform>Search complete: %n serial device found</numerusform>
            <numerusform>Search complete: %n serial devices found</numerusform>
        </translation>
    </message>
    <message>
        <source>流数据设置有误，未启动：%1</source>
        <translation>Streaming settings are wrong; streaming not started: %1</translation>
    </message>
    <message>
        <source>流数据设置有误，未更改：%1</source>
        <translation>Streaming settings are wrong; nothing changed: %1</translation>
    </message>
</context>
<context>
    <name>StrideloomClass</name>
    <message>
        <source>KORVANT Strideloom</source>
        <translation>KORVANT Strideloom</translation>
    </message>
    <message>
        <source>文件</source>
        <translation>File</translation>
    </message>
    <message>
        <source>视图</source>
        <translation>View</translation>
    </message>
    <message>
        <source>工具</source>
        <translation>Tools</translation>
    </message>
    <message>
        <source>帮助</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>打开</source>
        <translation>Open recording...</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>基础数据视图</source>
        <translation>Basic data</translation>
    </message>
    <message>
        <source>应用数据视图</source>
        <translation>Applied data</translation>
    </message>
    <message>
        <source>扩展数据视图</source>
        <translation>Extended data</translation>
    </message>
    <message>
        <source>三维立体视图</source>
        <translation>3D view</translation>
    </message>
    <message>
        <source>磁场模拟视图</source>
        <translation>Magnetometer calibration</translation>
    </message>
    <message>
        <source>选项</source>
        <translation>Options...</translation>
    </message>
    <message>
        <source>设备列表</source>
        <translation>Device list</translation>
    </message>
    <message>
        <source>调试窗口</source>
        <translation>Debug window</translation>
    </message>
    <message>
        <source>在线帮助</source>
        <translation>User guide</translation>
    </message>
    <message>
        <source>关于</source>
        <translation>About</translation>
    </message>
</context>
<context>
    <name>Tab3DWidget_mag</name>
    <message>
        <source>磁场校准：</source>
        <translation>Magnetometer calibration:</translation>
    </message>
    <message>
        <source>计算</source>
        <translation>Calibrate</translation>
    </message>
    <message>
        <source>节点状态：</source>
        <translation>State:</translation>
    </message>
    <message>
        <source>未校准</source>
        <translation>Not calibrated</translation>
    </message>
    <message>
        <source>重新写入</source>
        <translation>Write again</translation>
    </message>
    <message>
        <source>已校准</source>
        <translation>Calibrated</translation>
    </message>
    <message>
        <source>正在写入设备...</source>
        <translation>Writing into the device...</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>网络设备：命令和校准只能在其采集站上进行</source>
        <translation>Network device: commands and calibrations run on its capture station</translation>
    </message>
    <message>
        <source>校准结果正在写入设备，请稍候再开始新的校准</source>
        <translation>The calibration is being written to the device; start a new one once it is done</translation>
    </message>
</context>
<context>
    <name>TabApplyDataWidget</name>
    <message>
        <source>Quaternion</source>
        <translation>Quaternion</translation>
    </message>
    <message>
        <source>W:</source>
        <translation>W:</translation>
    </message>
    <message>
        <source>X:</source>
        <translation>X:</translation>
    </message>
    <message>
        <source>Y:</source>
        <translation>Y:</translation>
    </message>
    <message>
        <source>Z:</source>
        <translation>Z:</translation>
    </message>
    <message>
        <source>Euler</source>
        <translation>Euler (deg)</translation>
    </message>
    <message>
        <source>Roll</source>
        <translation>Roll</translation>
    </message>
    <message>
        <source>Pitch</source>
        <translation>Pitch</translation>
    </message>
    <message>
        <source>Yaw</source>
        <translation>Yaw</translation>
    </message>
    <message>
        <source>Linear Accel</source>
        <translation>Linear accel (g)</translation>
    </message>
</context>
<context>
    <name>TabBasicDataWidget</name>
    <message>
        <source>Accel</source>
        <translation>Accel (g)</translation>
    </message>
    <message>
        <source>X:</source>
        <translation>X:</translation>
    </message>
    <message>
        <source>Y:</source>
        <translation>Y:</translation>
    </message>
    <message>
        <source>Z:</source>
        <translation>Z:</translation>
    </message>
    <message>
        <source>Gyro</source>
        <translation>Gyro (deg/s)</translation>
    </message>
    <message>
        <source>Mag</source>
        <translation>Mag (uT)</translation>
    </message>
</context>
<context>
    <name>TabSuitWidget</name>
    <message>
        <source>T 姿势对齐</source>
        <translation>T-pose</translation>
    </message>
    <message>
        <source>倒计时 3 秒后请保持 T 姿势站立 1 秒</source>
        <translation>After a 3-second countdown, stand still in a T-pose for 1 second</translation>
    </message>
    <message>
        <source>录制 BVH</source>
        <translation>Record BVH</translation>
    </message>
    <message>
        <source>文件路径不正确，请重新选择!</source>
        <translation>The directory is not valid. Please choose another one.</translation>
    </message>
    <message>
        <source>请在设备列表中选择一个套装节点</source>
        <translation>Select a node of a suit in the device list</translation>
    </message>
    <message>
        <source>套装 %1：</source>
        <translation>Suit %1:</translation>
    </message>
    <message>
        <source>未对齐，显示传感器原始姿态（请点击“T 姿势对齐”）</source>
        <translation>Not aligned: raw sensor orientations (press &quot;T-pose&quot;)</translation>
    </message>
    <message>
        <source>请摆好 T 姿势：%1 秒</source>
        <translation>Get into a T-pose: %1 s</translation>
    </message>
    <message>
        <source>保持 T 姿势不动……</source>
        <translation>Hold the T-pose…</translation>
    </message>
    <message>
        <source>已对齐</source>
        <translation>Aligned</translation>
    </message>
    <message>
        <source>（T 姿势失败：%1）</source>
        <translation>(T-pose failed: %1)</translation>
    </message>
    <message>
        <source>（模型文件有误，使用默认骨架）</source>
        <translation>(model file is wrong; the default skeleton is used)</translation>
    </message>
    <message>
        <source>录制中：%1（%2 帧）</source>
        <translation>Recording: %1 (%2 frames)</translation>
    </message>
    <message>
        <source>套装：%1，写入文件失败，已停止记录！</source>
        <translation>Recording failed for suit %1; recording stopped.</translation>
    </message>
    <message>
        <source>已对齐，请走几步以确定朝向</source>
        <translation>Aligned; walk a few steps so the skeleton can face the screen</translation>
    </message>
    <message>
        <source>已对齐，朝向未知（节点无位置，未见行走）</source>
        <translation>Aligned; heading unknown (the nodes send no locations and no walking was seen)</translation>
    </message>
</context>
<context>
    <name>ToolBarDeviceOperation</name>
    <message>
        <source>设备管理工具</source>
        <translation>Device tools</translation>
    </message>
    <message>
        <source>查找设备</source>
        <translation>Find devices</translation>
    </message>
    <message>
        <source>查找设备：在所有串口上以五种波特率查找串口设备</source>
        <translation>Find devices: serial devices on every port, at each of the five baud rates</translation>
    </message>
    <message>
        <source>加速度计校准</source>
        <translation>Accelerometer calibration</translation>
    </message>
    <message>
        <source>加速度计校准：六面校准向导，用于勾选的一个串口设备</source>
        <translation>Accelerometer calibration: six-plane wizard for the one ticked serial device</translation>
    </message>
    <message>
        <source>置零旋转</source>
        <translation>Zero rotation</translation>
    </message>
    <message>
        <source>置零旋转：以勾选设备的当前姿态为参考；再按一次回到世界参考</source>
        <translation>Zero rotation: the ticked device&apos;s current orientation becomes the reference; press again for the world reference</translation>
    </message>
</context>
<context>
    <name>ToolBarFileOperation</name>
    <message>
        <source>文件管理工具</source>
        <translation>File tools</translation>
    </message>
    <message>
        <source>导出</source>
        <translation>Record</translation>
    </message>
    <message>
        <source>停止导出</source>
        <translation>Stop recording</translation>
    </message>
    <message>
        <source>导出：把勾选的设备记录到所选目录</source>
        <translation>Record the ticked devices into the chosen directory</translation>
    </message>
    <message>
        <source>当前选择路径：</source>
        <translation>Directory:</translation>
    </message>
    <message>
        <source>浏览</source>
        <translation>Browse</translation>
    </message>
    <message>
        <source>浏览：选择导出目录</source>
        <translation>Choose the recording directory</translation>
    </message>
    <message>
        <source>文件路径不正确，请重新选择!</source>
        <translation>The directory is not valid. Please choose another one.</translation>
    </message>
    <message>
        <source>选择路径：</source>
        <translation>Choose the recording directory</translation>
    </message>
</context>
<context>
    <name>UsbStatusLabel</name>
    <message>
        <source>USB接收器被其他程序占用，关闭该程序后会自动连接</source>
        <translation>USB receiver held by another program; it connects by itself once that program closes</translation>
    </message>
    <message>
        <source>没有访问USB接收器的权限，请按README安装udev规则</source>
        <translation>No permission for the USB receiver: see the udev rule in the README</translation>
    </message>
    <message>
        <source>USB接收器已连接</source>
        <translation>USB receiver connected</translation>
    </message>
    <message>
        <source>；</source>
        <extracomment>Between two receiver problems shown at once.</extracomment>
        <translation>; </translation>
    </message>
</context>
<context>
    <name>stream::StreamOptions</name>
    <message>
        <source>代理服务器地址无效：请填写主机名或IP地址</source>
        <translation>Broker host invalid: give a host name or IP address</translation>
    </message>
    <message>
        <source>代理服务器端口无效：应为 1 到 65535 之间的整数</source>
        <translation>Broker port invalid: use a whole number from 1 to 65535</translation>
    </message>
    <message>
        <source>采集站名称无效：不能为空白，不能含有 / + # 或空格，最多 64 个字符</source>
        <translation>Station name invalid: not blank, no / + # or spaces, at most 64 characters</translation>
    </message>
    <message>
        <source>QoS 只能是 0 或 1</source>
        <translation>QoS must be 0 or 1</translation>
    </message>
    <message>
        <source>填写了密码但没有用户名</source>
        <translation>Password given without a user name</translation>
    </message>
    <message>
        <source>CA 证书文件不存在或不可读：%1</source>
        <translation>CA file missing or unreadable: %1</translation>
    </message>
    <message>
        <source>客户端证书与私钥必须同时填写</source>
        <translation>Give the client certificate and its key together</translation>
    </message>
    <message>
        <source>使用客户端证书时必须同时填写 CA 证书文件</source>
        <translation>A client certificate needs a CA file as well</translation>
    </message>
    <message>
        <source>客户端证书文件不存在或不可读：%1</source>
        <translation>Client certificate missing or unreadable: %1</translation>
    </message>
    <message>
        <source>客户端私钥文件不存在或不可读：%1</source>
        <translation>Client key missing or unreadable: %1</translation>
    </message>
    <message>
        <source>要显示的采集站名称无效：%1</source>
        <translation>Station to show invalid: %1</translation>
    </message>
    <message>
        <source>OSC 目标地址无效：请填写主机名或IP地址</source>
        <translation>OSC host invalid: give a host name or IP address</translation>
    </message>
    <message>
        <source>OSC 端口无效：应为 1 到 65535 之间的整数</source>
        <translation>OSC port invalid: use a whole number from 1 to 65535</translation>
    </message>
    <message>
        <source>最大发送频率无效：应为 0（按设备频率）到 1000 之间的整数</source>
        <translation>Maximum rate invalid: use a whole number from 0 (device rate) to 1000</translation>
    </message>
</context>
<context>
    <name>stream::StreamPublisher</name>
    <message>
        <source>没有选择发送方式（MQTT 或 OSC）</source>
        <translation>No way of sending chosen (MQTT or OSC)</translation>
    </message>
    <message>
        <source>TLS 设置失败：%1</source>
        <translation>TLS setup failed: %1</translation>
    </message>
    <message>
        <source>无法创建 MQTT 客户端</source>
        <translation>Cannot create the MQTT client</translation>
    </message>
    <message>
        <source>代理服务器拒绝连接：%1（检查用户名、密码和证书），正在重试</source>
        <translation>Broker refused the connection: %1 (check user name, password and certificates); retrying</translation>
    </message>
    <message>
        <source>与代理服务器的连接中断（%1），正在重连</source>
        <translation>Connection to the broker lost (%1); reconnecting</translation>
    </message>
    <message>
        <source>无法连接代理服务器 %1:%2（%3），正在重试</source>
        <translation>Cannot connect to the broker %1:%2 (%3); retrying</translation>
    </message>
    <message>
        <source>代理服务器 %1:%2 没有应答，正在重试</source>
        <translation>The broker %1:%2 does not answer; retrying</translation>
    </message>
</context>
<context>
    <name>stream::StreamSubscriber</name>
    <message>
        <source>无法创建 MQTT 客户端</source>
        <translation>Cannot create the MQTT client</translation>
    </message>
    <message>
        <source>TLS 设置失败：%1</source>
        <translation>TLS setup failed: %1</translation>
    </message>
    <message>
        <source>无法连接代理服务器 %1:%2，正在重试</source>
        <translation>Cannot connect to the broker %1:%2; retrying</translation>
    </message>
    <message>
        <source>代理服务器拒绝连接：%1</source>
        <translation>Broker refused the connection: %1</translation>
    </message>
    <message>
        <source>与代理服务器的连接中断，正在重连</source>
        <translation>Connection to the broker lost; reconnecting</translation>
    </message>
    <message>
        <source>代理服务器 %1:%2 没有应答，正在重试</source>
        <translation>The broker %1:%2 does not answer; retrying</translation>
    </message>
</context>
</TS>
