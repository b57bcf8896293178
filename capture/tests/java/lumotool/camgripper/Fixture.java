package lumotool.camgripper;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.awt.AWTException;
import java.awt.Color;
import java.awt.Dimension;
import java.awt.EventQueue;
import java.awt.FlowLayout;
import java.awt.Frame;
import java.awt.Robot;
import java.lang.reflect.InvocationTargetException;
import java.util.ArrayList;
import java.util.List;

import lumotool.camgripper.sim.SimPlatform;

/** Cameras of the simulated platform and a shown frame holding their canvases. */
final class Fixture implements AutoCloseable {
    static final int E_FAIL = 0x80004005;
    static final int UNKNOWN_CODE = 0x8004ABCD;

    final Frame frame = new Frame("camgrip test");
    final List<CaptureDevice> devices = new ArrayList<>();
    final Robot robot;

    Fixture() {
        try {
            robot = new Robot();
        } catch (AWTException e) {
            throw new IllegalStateException(e);
        }
        frame.setLayout(new FlowLayout(FlowLayout.LEFT, 0, 0));
    }

    static int camera(String name) {
        return SimPlatform.addCamera(name, name + " description", "\\\\?\\sim#" + name, 128, 10);
    }

    static void capability(int camera, byte[] subtype, int width, int height) {
        SimPlatform.addCapability(camera, subtype, width, height, SimPlatform.VIDEO_INFO, false, 0);
    }

    /** Lists the cameras and keeps them for closing. */
    List<CaptureDevice> list() {
        ArrayList<CaptureDevice> listed = CaptureDevice.enumDevices();
        devices.addAll(listed);
        return listed;
    }

    /** Puts canvases of 160 x 120 into the frame and shows it. */
    void show(CaptureDevice... canvases) {
        for (CaptureDevice d : canvases) {
            d.setPreferredSize(new Dimension(160, 120));
            d.setBackground(Color.WHITE);
            frame.add(d);
            if (!devices.contains(d)) {
                devices.add(d);
            }
        }
        frame.pack();
        frame.setVisible(true);
        settle();
        for (CaptureDevice d : canvases) {
            assertTrue(d.isShowing(), "canvas shown");
        }
    }

    void settle() {
        try {
            EventQueue.invokeAndWait(() -> { });
        } catch (InterruptedException | InvocationTargetException e) {
            throw new IllegalStateException(e);
        }
        robot.waitForIdle();
    }

    /** One shown device of the first listed camera. */
    CaptureDevice showFirst() {
        CaptureDevice d = list().get(0);
        show(d);
        return d;
    }

    static void assertReports(String... expected) {
        assertEquals(List.of(expected), List.of(SimPlatform.takeErrorReports()));
    }

    static String site(int site, String text) {
        return "DirectShow Error(line:" + site + ")|" + text;
    }

    @Override
    public void close() {
        for (CaptureDevice d : devices) {
            if (d.getHandle() != 0) {
                d.destroy();
            }
        }
        frame.dispose();
        settle();
    }
}
