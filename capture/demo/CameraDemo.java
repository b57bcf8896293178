package lumotool.camgripper.demo;

import java.awt.Dimension;
import java.awt.FlowLayout;
import java.awt.Frame;
import java.awt.Point;
import java.awt.Rectangle;
import java.awt.Robot;
import java.io.File;
import java.nio.ByteBuffer;
import java.util.Arrays;
import java.util.List;

import javax.imageio.ImageIO;

import lumotool.camgripper.CaptureDevice;
import lumotool.camgripper.GUID;
import lumotool.camgripper.VideoFormat;
import lumotool.camgripper.sim.SimPlatform;

/** Lists the simulated cameras, shows one mirrored, grabs frames and stops it. */
public final class CameraDemo {
    private CameraDemo() {
    }

    private static String name(GUID subtype) {
        byte[] b = subtype.bytes();
        if (Arrays.equals(b, SimPlatform.RGB24)) {
            return "RGB24";
        }
        if (Arrays.equals(b, SimPlatform.RGB32)) {
            return "RGB32";
        }
        return new String(b, 0, 4, java.nio.charset.StandardCharsets.US_ASCII);
    }

    private static String describe(VideoFormat f) {
        return f == null ? "null" : name(f.getSubType()) + " " + f.getWidth() + "x" + f.getHeight();
    }

    public static void main(String[] args) throws Exception {
        List<CaptureDevice> cameras = CaptureDevice.enumDevices();
        System.out.println("cameras: " + cameras.size());
        for (CaptureDevice c : cameras) {
            System.out.printf("  %-28s description=%-30s path=%s handle=%d%n", c.getFriendlyName(),
                              c.getDescription(), c.getDevicePath(), c.getHandle());
        }
        CaptureDevice camera = cameras.get(0);
        Frame frame = new Frame("camgrip demo");
        frame.setLayout(new FlowLayout(FlowLayout.LEFT, 0, 0));
        for (CaptureDevice c : cameras) {
            c.setPreferredSize(new Dimension(320, 240));
            frame.add(c);
        }
        frame.pack();
        frame.setVisible(true);
        Robot robot = new Robot();
        robot.waitForIdle();

        List<VideoFormat> formats = camera.queryFormats();
        System.out.println("formats of " + camera.getFriendlyName() + ":");
        for (VideoFormat f : formats) {
            System.out.println("  " + describe(f));
        }
        VideoFormat wanted = new VideoFormat(320, 240, GUID.of(SimPlatform.YUY2));
        System.out.println("start(" + describe(wanted) + ", mirror) = " + camera.start(wanted, true));
        System.out.println("start second camera (current format) = " + cameras.get(1).start(null, false));
        System.out.println("isRunning = " + camera.isRunning() + ", getFormat = " + describe(camera.getFormat()));

        ByteBuffer buffer = null;
        for (int i = 0; i < 3; i++) {
            ByteBuffer got = camera.grab(buffer);
            System.out.printf("grab %d: %s buffer, capacity %d, first bytes %d %d %d %d%n", i,
                              got == buffer ? "same" : "new", got.capacity(), got.get(0) & 0xFF, got.get(1) & 0xFF,
                              got.get(2) & 0xFF, got.get(3) & 0xFF);
            buffer = got;
        }
        Thread.sleep(300);
        if (args.length > 0) {
            Point at = frame.getLocationOnScreen();
            File out = new File(args[0]);
            ImageIO.write(robot.createScreenCapture(new Rectangle(at, frame.getSize())), "png", out);
            System.out.println("screenshot: " + out.getPath());
            System.out.println("  left, " + camera.getFriendlyName() + ", mirrored; right, "
                               + cameras.get(1).getFriendlyName() + ", not: each shows the test card, eight colour"
                               + " bars white to black, the frame number and a square that moves with each frame."
                               + " The F reads correctly in the unmirrored canvas, backwards in the mirrored one,"
                               + " and the bars run from black to white there.");
        }
        for (CaptureDevice c : cameras) {
            System.out.println(c.getFriendlyName() + ": stop = " + c.stop() + ", isRunning = " + c.isRunning()
                               + ", destroy = " + c.destroy() + ", handle = " + c.getHandle());
        }
        frame.dispose();
        System.exit(0);
    }
}
